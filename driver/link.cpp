// Connecting to the driver, switching its language and sending the plain control codes.
#include "driver/address.h"
#include "driver/link.h"
#include "driver/texts.h"

StatusBlock *statusBlock;
const uint32_t *languageTable;
uint32_t languageCount;
const uint32_t *languageList;
uint32_t languageId;

// Static storage: the driver keeps reading the program directory's address after the call.
static ConnectRequest connectRequest;
static ConnectReply connectReply;     // 20 bytes, though the request states 16
static DWORD connectBytes;            // the driver writes a byte count here; never read

int ConnectDriver(const char *programDir, HWND mainWindow)
{
    connectRequest.programDir = Address32(programDir);
    connectRequest.notifyMessage = WM_VIRUS_FOUND;
    connectRequest.notifyWindow = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(mainWindow));
    connectRequest.oemCodePage = GetOEMCP();
    connectRequest.reserved1 = 0;
    connectRequest.reserved2 = 0;
    int accepted = DeviceControl(CTL_CONNECT, &connectRequest, sizeof connectRequest, &connectReply,
                                 CONNECT_STATED_OUTPUT_SIZE, &connectBytes);
    statusBlock = FromAddress32<StatusBlock>(connectReply.statusBlock);
    if (!accepted) {
        // A driver that refuses without naming its record leaves nothing to write through.
        if (statusBlock != nullptr)
            statusBlock->enabled = 0;
        const char *reason = FromAddress32<const char>(connectReply.errorText);
        ShowStop(reason != nullptr ? reason : "Torvane.VXD refused the connection.\n", "Torvane");
        return 0;
    }
    languageTable = FromAddress32<const uint32_t>(connectReply.languageTable);
    languageCount = connectReply.languageCount;
    languageList = FromAddress32<const uint32_t>(connectReply.languageList);
    return 1;
}

int SelectLanguage(uint32_t id)
{
    static uint32_t requested;     // the driver reads the id in place
    uint32_t table = 0;
    DWORD bytes = 0;
    requested = id;
    if (DeviceControl(CTL_SELECT_LANGUAGE, &requested, sizeof requested, &table, sizeof table, &bytes)
        && table != 0) {
        languageTable = FromAddress32<const uint32_t>(table);
        return 1;
    }
    ShowStop("Can not load new language", StoredText(TEXT_PRODUCT));
    return 0;
}

int (*sendControl)(uint32_t code) = SendControlToDevice;

int SendControlToDevice(uint32_t code)
{
    return DeviceControl(code, nullptr, 0, nullptr, 0, nullptr);
}
