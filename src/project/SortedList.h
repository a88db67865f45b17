#pragma once
// A list of lines kept in ascending order compared without regard to ASCII
// letter case; an added line takes its sorted place (after equal lines) and
// duplicates are all kept. The working lists and the editors' chosen lists.

#include <cstddef>
#include <string>
#include <vector>

namespace plimbury {

// <0, 0, >0 like strcmp, ignoring ASCII case.
int compareText(const std::string& a, const std::string& b);

class SortedList {
public:
    // Returns the index at which the line now stands.
    std::size_t add(std::string line);
    // The same lines and order as adding each of `lines` in turn, in n log n.
    void assign(std::vector<std::string> lines);
    // Adds every one of `lines`, with the same result as adding each in
    // turn, in (n + k) log: the new lines sorted, then merged in.
    void addAll(std::vector<std::string> lines);
    void removeAt(std::size_t index);
    void clear() { m_lines.clear(); }
    std::size_t count() const { return m_lines.size(); }
    const std::string& at(std::size_t index) const { return m_lines.at(index); }
    const std::vector<std::string>& lines() const { return m_lines; }

private:
    std::vector<std::string> m_lines;
};

} // namespace plimbury
