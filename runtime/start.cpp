// The entry point of the Windows 95/98 program, in place of the toolchain's start-up code, which
// is built for the Pentium Pro and sets up what the program does not use (argv, the environment,
// thread-local storage, run-time relocations: a link that would need those fails for want of the
// relocator). Its C library, crtdll.dll, initialises itself when it is loaded.
#include <windows.h>

#include <cstdlib>

// The static constructors, as the linker lays them out: -1, the constructors, 0.
extern "C" void (*__CTOR_LIST__[])(void);

// The linker lists constructors so that the last one runs first.
static void RunConstructors(void)
{
    size_t count = 0;
    while (__CTOR_LIST__[count + 1] != nullptr)
        count++;
    for (; count > 0; count--)
        __CTOR_LIST__[count]();
}

// What WinMain receives as its command line: the text after the program's name.
static LPSTR CommandTail(LPSTR line)
{
    if (*line == '"') {
        for (line++; *line != 0 && *line != '"'; line++) {
        }
        if (*line == '"')
            line++;
    } else {
        while (static_cast<unsigned char>(*line) > ' ')
            line++;
    }
    while (*line != 0 && static_cast<unsigned char>(*line) <= ' ')
        line++;
    return line;
}

// Windows enters with the stack aligned to 4 bytes; the compiled code assumes 16. exit() runs
// what was registered with atexit (static destructors) before the process ends.
extern "C" __attribute__((force_align_arg_pointer)) void WinMainCRTStartup(void)
{
    RunConstructors();
    STARTUPINFOA startup;
    startup.cb = sizeof startup;
    GetStartupInfoA(&startup);
    int show = (startup.dwFlags & STARTF_USESHOWWINDOW) != 0 ? startup.wShowWindow : SW_SHOWDEFAULT;
    std::exit(WinMain(GetModuleHandleA(nullptr), nullptr, CommandTail(GetCommandLineA()), show));
}
