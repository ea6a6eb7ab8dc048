// The reference driver (minimal until it lands).
#include <windows.h>

#include "driver/protocol.h"

extern "C" BOOL WINAPI DriverControl(DWORD, LPVOID, DWORD, LPVOID, DWORD, LPDWORD, LPOVERLAPPED)
{
    return FALSE;
}
