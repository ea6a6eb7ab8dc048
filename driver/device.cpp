// Loading the driver and sending it control codes.
#include <cstdio>

#include "driver/link.h"

HANDLE driverHandle = INVALID_HANDLE_VALUE;

// The control entry of a driver loaded as a DLL: DeviceIoControl less the handle.
typedef BOOL(WINAPI *DriverEntry)(DWORD code, LPVOID in, DWORD inSize, LPVOID out, DWORD outSize,
                                  LPDWORD returned, LPOVERLAPPED overlapped);
static DriverEntry driverEntry;   // set when the driver was loaded as a DLL

// Windows 95 and 98 set the high bit of GetVersion; there the file is a real VxD.
static int IsWindows9x(void)
{
    return (GetVersion() & 0x80000000u) != 0;
}

// Loads fileName from the current directory as a DLL and finds its control entry.
// Returns 1, or 0 with the platform's error code in *error.
static int LoadDriverModule(const char *fileName, DWORD *error)
{
    char path[MAX_PATH];
    std::snprintf(path, sizeof path, ".\\%s", fileName);
    // LoadLibrary reports a missing file as a missing module; ask the file system first so the
    // message carries the file-not-found code a device open would give.
    if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) {
        *error = GetLastError();
        return 0;
    }
    HMODULE module = LoadLibraryA(path);
    if (module == nullptr) {
        *error = GetLastError();
        return 0;
    }
    driverEntry = reinterpret_cast<DriverEntry>(reinterpret_cast<void (*)(void)>(
        GetProcAddress(module, "DeviceIoControl")));
    if (driverEntry == nullptr) {
        *error = GetLastError();
        FreeLibrary(module);
        return 0;
    }
    driverHandle = reinterpret_cast<HANDLE>(module);
    return 1;
}

int OpenDriver(const char *fileName)
{
    DWORD error = 0;
    int opened;
    if (IsWindows9x()) {
        char devicePath[MAX_PATH];
        std::snprintf(devicePath, sizeof devicePath, "\\\\.\\%s", fileName);
        driverHandle = CreateFileA(devicePath, 0, 0, nullptr, CREATE_NEW, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        opened = driverHandle != INVALID_HANDLE_VALUE;
        if (!opened)
            error = GetLastError();
    } else {
        opened = LoadDriverModule(fileName, &error);
    }
    if (!opened) {
        char message[MAX_PATH + 64];
        std::snprintf(message, sizeof message, "Cannot load %s. (error=%lx)\n", fileName,
                      static_cast<unsigned long>(error + 100));
        ShowStop(message, "Torvane");
        return 0;
    }
    return 1;
}

int DeviceControl(uint32_t code, void *in, uint32_t inSize, void *out, uint32_t outSize, DWORD *returned)
{
    if (driverEntry != nullptr)
        return driverEntry(code, in, inSize, out, outSize, returned, nullptr) ? 1 : 0;
    if (driverHandle == INVALID_HANDLE_VALUE)
        return 0;
    return DeviceIoControl(driverHandle, code, in, inSize, out, outSize, returned, nullptr) ? 1 : 0;
}

void ShowStop(const char *text, const char *caption)
{
    MessageBoxA(nullptr, text, caption, MB_ICONERROR | MB_OK);
}
