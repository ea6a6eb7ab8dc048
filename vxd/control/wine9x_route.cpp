// The program's control codes reach the driver under Wine in a Windows 95/98 mode.
//
// There Wine opens "\\.\Torvane.VXD" by loading the file as a DLL, but its DeviceIoControl hands
// the driver's export only codes whose high word is 0 (the codes of the old VxD interface); every
// other code, such as CTL_CONNECT (0x220007), goes to the device layer, which knows no such device.
// A real Windows 95/98 hands a dynamically loaded VxD every code. So, and only there, the driver
// takes the program's calls on its handle itself: the program's import of DeviceIoControl is
// pointed at a filter that compares the handle's file with the driver file.
#include "vxd/control/wine9x_route.h"

typedef BOOL(WINAPI *DeviceIoControlProc)(HANDLE device, DWORD code, LPVOID in, DWORD inSize, LPVOID out,
                                          DWORD outSize, LPDWORD returned, LPOVERLAPPED overlapped);

static DeviceIoControlProc platformControl;   // kernel32's own, for every handle but the driver's
static DriverEntryProc driverEntry;
static BY_HANDLE_FILE_INFORMATION driverFile;  // the driver file's volume and index

static int SameFile(const BY_HANDLE_FILE_INFORMATION &a, const BY_HANDLE_FILE_INFORMATION &b)
{
    return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh
           && a.nFileIndexLow == b.nFileIndexLow;
}

// The handle is compared at every call, not remembered: a handle value closed and reused for
// another file must reach the platform again. The program sends few codes, mostly on a click.
static BOOL WINAPI FilteredDeviceIoControl(HANDLE device, DWORD code, LPVOID in, DWORD inSize, LPVOID out,
                                           DWORD outSize, LPDWORD returned, LPOVERLAPPED overlapped)
{
    BY_HANDLE_FILE_INFORMATION file;
    DWORD error = GetLastError();
    if (GetFileInformationByHandle(device, &file) && SameFile(file, driverFile))
        return driverEntry(code, in, inSize, out, outSize, returned, overlapped);
    SetLastError(error);
    return platformControl(device, code, in, inSize, out, outSize, returned, overlapped);
}

// Wine (its ntdll names its version) in a Windows 95/98 mode (GetVersion's high bit), with the
// 16-bit kernel's VxD open loaded: the one place where the program's codes would not arrive.
static int IsWine9xWithVxdOpen(void)
{
    if ((GetVersion() & 0x80000000u) == 0)
        return 0;
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    if (ntdll == nullptr || GetProcAddress(ntdll, "wine_get_version") == nullptr)
        return 0;
    HMODULE kernel16 = GetModuleHandleA("krnl386.exe16");
    return kernel16 != nullptr && GetProcAddress(kernel16, "__wine_vxd_open") != nullptr;
}

static int ReadDriverFile(HMODULE driver)
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(driver, path, sizeof path);
    if (length == 0 || length >= sizeof path)
        return 0;
    HANDLE file = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    int read = GetFileInformationByHandle(file, &driverFile) ? 1 : 0;
    CloseHandle(file);
    return read;
}

// Every slot of module's import address table that holds from gets to. 1 when one did.
static int ReplaceImport(HMODULE module, ULONG_PTR from, ULONG_PTR to)
{
    BYTE *base = reinterpret_cast<BYTE *>(module);
    const IMAGE_DOS_HEADER *dos = reinterpret_cast<const IMAGE_DOS_HEADER *>(base);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE)
        return 0;
    const IMAGE_NT_HEADERS *nt = reinterpret_cast<const IMAGE_NT_HEADERS *>(base + dos->e_lfanew);
    if (nt->Signature != IMAGE_NT_SIGNATURE)
        return 0;
    const IMAGE_DATA_DIRECTORY &imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (imports.VirtualAddress == 0)
        return 0;
    int replaced = 0;
    const IMAGE_IMPORT_DESCRIPTOR *library = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR *>(base + imports.VirtualAddress);
    for (; library->Name != 0; ++library) {
        IMAGE_THUNK_DATA *slot = reinterpret_cast<IMAGE_THUNK_DATA *>(base + library->FirstThunk);
        for (; slot->u1.Function != 0; ++slot) {
            if (slot->u1.Function != from)
                continue;
            DWORD protection;
            if (!VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, PAGE_READWRITE, &protection))
                continue;
            slot->u1.Function = to;
            VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, protection, &protection);
            replaced = 1;
        }
    }
    return replaced;
}

int RouteWine9xControls(HMODULE driver, DriverEntryProc entry)
{
    if (!IsWine9xWithVxdOpen() || platformControl != nullptr)
        return 0;
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    DeviceIoControlProc platform = kernel == nullptr ? nullptr
        : reinterpret_cast<DeviceIoControlProc>(reinterpret_cast<void (*)(void)>(GetProcAddress(kernel, "DeviceIoControl")));
    if (platform == nullptr || !ReadDriverFile(driver))
        return 0;
    platformControl = platform;
    driverEntry = entry;
    return ReplaceImport(GetModuleHandleA(nullptr), reinterpret_cast<ULONG_PTR>(platform),
                         reinterpret_cast<ULONG_PTR>(&FilteredDeviceIoControl));
}
