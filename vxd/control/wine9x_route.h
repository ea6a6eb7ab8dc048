// The way in for the program's control codes when Wine, in a Windows 95/98 mode, loaded the
// driver for a device open (its VxD support) but hands it only codes whose high word is 0.
#pragma once
#include <windows.h>

// The driver's entry: DeviceIoControl less the handle.
typedef BOOL(WINAPI *DriverEntryProc)(DWORD code, LPVOID in, DWORD inSize, LPVOID out, DWORD outSize,
                                      LPDWORD returned, LPOVERLAPPED overlapped);

// Called when the driver is loaded. Only under Wine in a Windows 95/98 mode with its VxD support
// present: points the program's own imported DeviceIoControl (the process's main module) at a
// filter that hands every call on a handle to the driver file to entry and passes all others on.
// Returns 1 when it did so, 0 where nothing was needed (NT, Wine's NT modes, a real Windows 95/98)
// or nothing could be done; it changes nothing then.
int RouteWine9xControls(HMODULE driver, DriverEntryProc entry);
