#include "SortedList.h"

#include "platform/AsciiCase.h"

#include <algorithm>

namespace plimbury {

namespace {
unsigned char fold(unsigned char c)
{
    return static_cast<unsigned char>(asciiLower(static_cast<char>(c)));
}
} // namespace

int compareText(const std::string& a, const std::string& b)
{
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char x = fold(static_cast<unsigned char>(a[i]));
        const unsigned char y = fold(static_cast<unsigned char>(b[i]));
        if (x != y)
            return x < y ? -1 : 1;
    }
    if (a.size() == b.size())
        return 0;
    return a.size() < b.size() ? -1 : 1;
}

std::size_t SortedList::add(std::string line)
{
    // After equal lines, so lines equal but for case keep the order they came in.
    const auto at = std::upper_bound(m_lines.begin(), m_lines.end(), line,
        [](const std::string& a, const std::string& b) { return compareText(a, b) < 0; });
    const auto index = static_cast<std::size_t>(at - m_lines.begin());
    m_lines.insert(at, std::move(line));
    return index;
}

void SortedList::assign(std::vector<std::string> lines)
{
    std::stable_sort(lines.begin(), lines.end(),
        [](const std::string& a, const std::string& b) { return compareText(a, b) < 0; });
    m_lines = std::move(lines);
}

void SortedList::addAll(std::vector<std::string> lines)
{
    const auto less = [](const std::string& a, const std::string& b) { return compareText(a, b) < 0; };
    std::stable_sort(lines.begin(), lines.end(), less);
    const auto middle = static_cast<std::ptrdiff_t>(m_lines.size());
    m_lines.insert(m_lines.end(), std::make_move_iterator(lines.begin()), std::make_move_iterator(lines.end()));
    // Stable: an added line goes after the lines already there that equal it.
    std::inplace_merge(m_lines.begin(), m_lines.begin() + middle, m_lines.end(), less);
}

void SortedList::removeAt(std::size_t index)
{
    if (index < m_lines.size())
        m_lines.erase(m_lines.begin() + static_cast<std::ptrdiff_t>(index));
}

} // namespace plimbury
