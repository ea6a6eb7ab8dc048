// The reference driver loaded into a bench program, connected without a front end.
#include "tests/bench/driver_in_process.h"

#include <cstdio>

#include "driver/address.h"
#include "driver/protocol.h"
#include "tests/bench/bench_support.h"

static char programDir[MAX_PATH];   // static: below 4 GB for the connect request

int LoadDriver(const std::string &folder, const std::string &ini, DriverEntry *entry, StatusBlock **block)
{
    CreateDirectoryA(folder.c_str(), nullptr);
    std::string driverFile = folder + "\\Torvane.VXD";
    if (!CopyFileA((BuildFolder() + "\\vxd\\Torvane.VXD").c_str(), driverFile.c_str(), FALSE)
        || !WriteFileBytes(folder + "\\Torvane.ini", ini)) {
        std::fprintf(stderr, "bench: cannot prepare %s\n", folder.c_str());
        return 0;
    }
    HMODULE module = LoadLibraryA(driverFile.c_str());
    *entry = module ? reinterpret_cast<DriverEntry>(reinterpret_cast<void (*)(void)>(GetProcAddress(module, "DeviceIoControl")))
                    : nullptr;
    if (*entry == nullptr) {
        std::fprintf(stderr, "bench: cannot load %s\n", driverFile.c_str());
        return 0;
    }
    std::snprintf(programDir, sizeof programDir, "%s\\", folder.c_str());
    ConnectRequest request = {Address32(programDir), WM_VIRUS_FOUND, 0, 437, 0, 0};
    ConnectReply reply = {};
    DWORD returned = 0;
    if (!(*entry)(CTL_CONNECT, &request, sizeof request, &reply, CONNECT_STATED_OUTPUT_SIZE, &returned, nullptr)) {
        std::fprintf(stderr, "bench: the driver refused the connect\n");
        return 0;
    }
    *block = FromAddress32<StatusBlock>(reply.statusBlock);
    return 1;
}

void ScanEverything(DriverEntry entry, StatusBlock *block, int action)
{
    block->scanType = SCAN_ALL;
    block->archives = 1;
    block->scanOn = SCAN_ON_BOTH;
    entry(CTL_SCAN_OPTIONS_CHANGED, nullptr, 0, nullptr, 0, nullptr, nullptr);
    block->action = action;
    entry(CTL_ACTION_OPTIONS_CHANGED, nullptr, 0, nullptr, 0, nullptr, nullptr);
}
