// The driver's configuration: section [Driver] of Torvane.ini in the driver file's own folder.
#include <cstring>

#include "base/bounded.h"
#include "vxd/paths.h"
#include "vxd/vxd.h"

DriverConfig config;
char driverFolder[MAX_PATH];

static const char SECTION[] = "Driver";
static const char DEFAULT_ERROR_TEXT[] = "Torvane.VXD refused the connection.";
static const char DEFAULT_WATCH[] = "C:\\";
static const uint32_t DEFAULT_BLINK_STEPS = 6;
static const uint32_t DEFAULT_NOTIFY_BUFFER = 64 * 1024;
static const uint32_t DEFAULT_CLAMD_PORT = 3310;
static const uint32_t DEFAULT_CLAMD_TIMEOUT = 5000;
static const uint32_t DEFAULT_CLAMD_RETRY = 10000;
static const uint32_t DEFAULT_CLAMD_MAX_BYTES = 25u << 20;   // the daemon's own default stream limit

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

static int ReadFlag(const char *key, const char *ini)
{
    return GetPrivateProfileIntA(SECTION, key, 0, ini) != 0;
}

void ReadConfig(void)
{
    FindDriverFolder();
    char ini[MAX_PATH];
    if (!ResolvePath(driverFolder, "Torvane.ini", ini, sizeof ini))
        CopyBounded(ini, ".\\Torvane.ini");

    config.refuseConnect = ReadFlag("RefuseConnect", ini);
    config.refuseWithoutRecord = ReadFlag("RefuseWithoutRecord", ini);
    config.refuseLanguage = ReadFlag("RefuseLanguage", ini);
    config.refuseLogStart = ReadFlag("RefuseLogStart", ini);
    config.refuseLogStop = ReadFlag("RefuseLogStop", ini);
    GetPrivateProfileStringA(SECTION, "ErrorText", DEFAULT_ERROR_TEXT, config.errorText, sizeof config.errorText, ini);

    char journal[MAX_PATH];
    GetPrivateProfileStringA(SECTION, "Journal", "", journal, sizeof journal, ini);
    ResolvePath(driverFolder, journal, config.journal, sizeof config.journal);   // empty: no journal

    GetPrivateProfileStringA(SECTION, "Watch", DEFAULT_WATCH, config.watch, sizeof config.watch, ini);
    if (lstrcmpiA(config.watch, "none") == 0)
        config.watch[0] = 0;

    // GetPrivateProfileInt gives negative numbers back as huge unsigned ones; those land on the defaults.
    config.languages = GetPrivateProfileIntA(SECTION, "Languages", DRIVER_LANGUAGES, ini);
    if (config.languages < 1 || config.languages > DRIVER_LANGUAGES)
        config.languages = DRIVER_LANGUAGES;
    config.startLanguage = GetPrivateProfileIntA(SECTION, "StartLanguage", 0, ini);
    if (config.startLanguage >= config.languages)
        config.startLanguage = 0;
    config.blinkSteps = GetPrivateProfileIntA(SECTION, "BlinkSteps", DEFAULT_BLINK_STEPS, ini);
    if (config.blinkSteps > 1000)
        config.blinkSteps = DEFAULT_BLINK_STEPS;
    config.notifyBuffer = GetPrivateProfileIntA(SECTION, "NotifyBuffer", DEFAULT_NOTIFY_BUFFER, ini);
    if (config.notifyBuffer < 16 || config.notifyBuffer > DEFAULT_NOTIFY_BUFFER)
        config.notifyBuffer = DEFAULT_NOTIFY_BUFFER;

    char engine[32];
    GetPrivateProfileStringA(SECTION, "Engine", "", engine, sizeof engine, ini);
    config.engineClamd = lstrcmpiA(engine, "clamd") == 0;
    GetPrivateProfileStringA(SECTION, "ClamdHost", "127.0.0.1", config.clamdHost, sizeof config.clamdHost, ini);
    config.clamdPort = GetPrivateProfileIntA(SECTION, "ClamdPort", DEFAULT_CLAMD_PORT, ini);
    if (config.clamdPort == 0 || config.clamdPort > 65535)
        config.clamdPort = DEFAULT_CLAMD_PORT;
    config.clamdTimeout = GetPrivateProfileIntA(SECTION, "ClamdTimeout", DEFAULT_CLAMD_TIMEOUT, ini);
    if (config.clamdTimeout < 10 || config.clamdTimeout > 600000)
        config.clamdTimeout = DEFAULT_CLAMD_TIMEOUT;
    config.clamdRetry = GetPrivateProfileIntA(SECTION, "ClamdRetry", DEFAULT_CLAMD_RETRY, ini);
    if (config.clamdRetry > 3600000)
        config.clamdRetry = DEFAULT_CLAMD_RETRY;
    config.clamdMaxBytes = GetPrivateProfileIntA(SECTION, "ClamdMaxBytes", DEFAULT_CLAMD_MAX_BYTES, ini);
    if (config.clamdMaxBytes > (64u << 20))
        config.clamdMaxBytes = DEFAULT_CLAMD_MAX_BYTES;
}
