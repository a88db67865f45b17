#pragma once
// Splits a fuzzer's bytes into the choices a driver makes: numbers from the
// front, strings that run to a "\\ " mark (a doubled backslash stands for one
// backslash), so the seeds stay readable and a mutation of one string leaves
// the others in place. Runs out gracefully: everything reads as 0 or "".

#include <cstddef>
#include <cstdint>
#include <string>

namespace plimbury::fuzz {

class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}

    std::size_t remaining() const { return m_size - m_at; }

    std::uint8_t byte() { return m_at < m_size ? m_data[m_at++] : 0; }

    bool flag() { return byte() & 1; }

    // [low, high], high - low below 256.
    int inRange(int low, int high) { return low + byte() % (high - low + 1); }

    // Up to `limit` bytes, ending at the mark or the end of the data.
    std::string text(std::size_t limit)
    {
        std::string out;
        while (m_at < m_size && out.size() < limit) {
            const char c = static_cast<char>(m_data[m_at++]);
            if (c == '\\' && m_at < m_size) {
                const char next = static_cast<char>(m_data[m_at++]);
                if (next != '\\')
                    break;
            }
            out += c;
        }
        return out;
    }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_at = 0;
};

} // namespace plimbury::fuzz
