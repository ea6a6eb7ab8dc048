// What the driver asks of the platform it runs on.
#include "vxd/common/platform.h"

#include <windows.h>

int RunsOnWine(void)
{
    static volatile LONG known = -1;
    if (known < 0) {
        HMODULE ntdll = GetModuleHandleA("ntdll.dll");
        InterlockedExchange(&known, ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr);
    }
    return known;
}
