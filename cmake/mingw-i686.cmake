# Cross build for 32-bit Windows, the Windows 95/98 target; runs here under 32-bit Wine in its
# Windows 98 and 95 modes.
# The win32 thread-model compilers link no thread library: the posix one imports kernel32 functions
# that Windows 9x lacks (GetTickCount64, AddVectoredExceptionHandler, TryEnterCriticalSection, ...).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-win32)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-win32)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
# The machines of Windows 95/98 have a 486, a Pentium, a Pentium MMX, a K5, a K6 or a Cyrix: no
# conditional moves, no P6 floating-point compares, no long NOPs. The compilers would write
# Pentium Pro code; tests/win98 checks the program's instructions.
set(CMAKE_C_FLAGS_INIT "-march=i486 -mtune=generic")
set(CMAKE_CXX_FLAGS_INIT "-march=i486 -mtune=generic")
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(TORVANE_RUNS_HERE ON)
