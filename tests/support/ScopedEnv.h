#pragma once
// Sets (or, with nullptr, unsets) an environment variable for one scope and
// puts the old state back afterwards.

#include <cstdlib>
#include <optional>
#include <string>

namespace plimbury::test {

class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value)
        : m_name(name)
    {
        if (const char* old = std::getenv(name))
            m_old = old;
        set(value);
    }
    ~ScopedEnv() { set(m_old ? m_old->c_str() : nullptr); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    void set(const char* value)
    {
#ifdef _WIN32
        _putenv_s(m_name.c_str(), value ? value : "");
#else
        if (value)
            setenv(m_name.c_str(), value, 1);
        else
            unsetenv(m_name.c_str());
#endif
    }

    std::string m_name;
    std::optional<std::string> m_old;
};

} // namespace plimbury::test
