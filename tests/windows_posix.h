// windows_posix.h - the POSIX setenv the agent tests call, on the Windows C
// runtime. Force-included into standin_agent_test in the Windows build.
#ifndef JXEL_TESTS_WINDOWS_POSIX_H
#define JXEL_TESTS_WINDOWS_POSIX_H

#include <stdlib.h>

inline int setenv(const char* name, const char* value, int overwrite) {
    if (overwrite == 0 && getenv(name) != nullptr) return 0;
    return _putenv_s(name, value) == 0 ? 0 : -1;
}

#endif  // JXEL_TESTS_WINDOWS_POSIX_H
