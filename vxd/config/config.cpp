// The driver's configuration: section [Driver] of Torvane.ini in the driver file's own folder.
#include "vxd/config/config.h"

#include <cstring>
#include <memory>
#include <new>

#include "base/bounded.h"
#include "vxd/common/paths.h"
#include "vxd/config/ini_reader.h"
#include "vxd/texts/language_texts.h"

DriverConfig config;
HMODULE driverModule;
char driverFolder[MAX_PATH];

static const char SECTION[] = "Driver";
static const char DEFAULT_ERROR_TEXT[] = "Torvane.VXD refused the connection.";
static const char DEFAULT_WATCH[] = "C:\\";
static const uint32_t DEFAULT_BLINK_STEPS = 6;
static const uint32_t DEFAULT_NOTIFY_BUFFER = 64 * 1024;
static const uint32_t DEFAULT_PUT_OFF_ROOM = 4096;
static const uint32_t DEFAULT_WALK_STEP = 4096;
static const uint32_t DEFAULT_QUEUE_ROOM = 16384;
static const uint32_t DEFAULT_HELD_ROOM = 4096;
static const uint32_t DEFAULT_CLAMD_PORT = 3310;
static const uint32_t DEFAULT_CLAMD_TIMEOUT = 5000;
static const uint32_t DEFAULT_CLAMD_RETRY = 10000;
static const uint32_t DEFAULT_CLAMD_MAX_BYTES = 25u << 20;   // the daemon's own default stream limit
static const DWORD INI_READ_LIMIT = 256 * 1024;   // a configuration is a few lines; more is not read

// The folder of the DLL itself, not of the program that loaded it.
static void FindDriverFolder(void)
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(driverModule, path, sizeof path);
    driverFolder[0] = 0;
    if (length == 0 || length >= sizeof path)
        return;
    char *slash = std::strrchr(path, '\\');
    if (slash == nullptr)
        return;
    slash[1] = 0;
    CopyBounded(driverFolder, path);
}

// The bytes of the configuration file, at most INI_READ_LIMIT of them; an empty text when there is
// no file. Read whole at each connect, so a changed file counts at the next one.
struct IniFile {
    std::unique_ptr<char[]> bytes;
    size_t length = 0;
};

static void ReadIniFile(const char *path, IniFile *file)
{
    HANDLE handle = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return;
    file->bytes.reset(new (std::nothrow) char[INI_READ_LIMIT]);
    DWORD read = 0;
    while (file->bytes && file->length < INI_READ_LIMIT
           && ReadFile(handle, file->bytes.get() + file->length, INI_READ_LIMIT - static_cast<DWORD>(file->length),
                       &read, nullptr)
           && read > 0)
        file->length += read;
    CloseHandle(handle);
}

static void Text(const IniFile &ini, const char *key, const char *fallback, char *out, size_t size)
{
    if (!IniText(ini.bytes.get(), ini.length, SECTION, key, out, size))
        CopyBounded(out, size, fallback);
}

static uint32_t Number(const IniFile &ini, const char *key, uint32_t fallback)
{
    return IniNumber(ini.bytes.get(), ini.length, SECTION, key, fallback);
}

static int ReadFlag(const IniFile &ini, const char *key)
{
    return Number(ini, key, 0) != 0;
}

// The number keys: a value that is no number (a negative one among them) gives the default, and so
// does one out of range.
struct NumberKey {
    const char *key;
    uint32_t DriverConfig::*field;
    uint32_t fallback, low, high;
};
static const NumberKey NUMBER_KEYS[] = {
    {"Languages", &DriverConfig::languages, DRIVER_LANGUAGES, 1, DRIVER_LANGUAGES},
    {"BlinkSteps", &DriverConfig::blinkSteps, DEFAULT_BLINK_STEPS, 0, 1000},
    {"NotifyBuffer", &DriverConfig::notifyBuffer, DEFAULT_NOTIFY_BUFFER, 16, DEFAULT_NOTIFY_BUFFER},
    {"PutOffRoom", &DriverConfig::putOffRoom, DEFAULT_PUT_OFF_ROOM, 1, DEFAULT_PUT_OFF_ROOM},
    {"WalkStep", &DriverConfig::walkStep, DEFAULT_WALK_STEP, 1, DEFAULT_WALK_STEP},
    {"QueueRoom", &DriverConfig::queueRoom, DEFAULT_QUEUE_ROOM, 1, DEFAULT_QUEUE_ROOM},
    {"HeldRoom", &DriverConfig::heldRoom, DEFAULT_HELD_ROOM, 1, DEFAULT_HELD_ROOM},
    {"DropNotices", &DriverConfig::dropNotices, 0, 0, 1000},
    {"ClamdPort", &DriverConfig::clamdPort, DEFAULT_CLAMD_PORT, 1, 65535},
    {"ClamdTimeout", &DriverConfig::clamdTimeout, DEFAULT_CLAMD_TIMEOUT, 10, 600000},
    {"ClamdRetry", &DriverConfig::clamdRetry, DEFAULT_CLAMD_RETRY, 0, 3600000},
    {"ClamdMaxBytes", &DriverConfig::clamdMaxBytes, DEFAULT_CLAMD_MAX_BYTES, 0, 64u << 20},
};

static void ReadNumbers(const IniFile &ini)
{
    for (const NumberKey &k : NUMBER_KEYS) {
        uint32_t value = Number(ini, k.key, k.fallback);
        config.*k.field = value < k.low || value > k.high ? k.fallback : value;
    }
    config.startLanguage = Number(ini, "StartLanguage", 0);
    if (config.startLanguage >= config.languages)
        config.startLanguage = 0;
}

void ReadConfig(void)
{
    FindDriverFolder();
    char path[MAX_PATH];
    if (!ResolvePath(driverFolder, "Torvane.ini", path, sizeof path))
        CopyBounded(path, ".\\Torvane.ini");
    IniFile ini;
    ReadIniFile(path, &ini);

    config.refuseConnect = ReadFlag(ini, "RefuseConnect");
    config.refuseWithoutRecord = ReadFlag(ini, "RefuseWithoutRecord");
    config.refuseLanguage = ReadFlag(ini, "RefuseLanguage");
    config.refuseLogStart = ReadFlag(ini, "RefuseLogStart");
    config.refuseLogStop = ReadFlag(ini, "RefuseLogStop");
    Text(ini, "ErrorText", DEFAULT_ERROR_TEXT, config.errorText, sizeof config.errorText);

    char journal[MAX_PATH];
    Text(ini, "Journal", "", journal, sizeof journal);
    ResolvePath(driverFolder, journal, config.journal, sizeof config.journal);   // empty: no journal

    Text(ini, "Watch", DEFAULT_WATCH, config.watch, sizeof config.watch);
    if (lstrcmpiA(config.watch, "none") == 0)
        config.watch[0] = 0;

    ReadNumbers(ini);

    char engine[32];
    Text(ini, "Engine", "", engine, sizeof engine);
    config.engineClamd = lstrcmpiA(engine, "clamd") == 0;
    Text(ini, "ClamdHost", "127.0.0.1", config.clamdHost, sizeof config.clamdHost);
}
