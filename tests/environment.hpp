// Setting and removing environment variables in tests, on POSIX systems and on Windows.
#pragma once

#include <cstdlib>

namespace testenv {

inline void Set(const char* name, const char* value) {
#ifdef _WIN32
    _putenv_s(name, value);
#else
    setenv(name, value, 1);
#endif
}

inline void Remove(const char* name) {
#ifdef _WIN32
    _putenv_s(name, "");  // an empty value removes the variable on Windows
#else
    unsetenv(name);
#endif
}

}  // namespace testenv
