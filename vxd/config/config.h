// The driver's configuration: section [Driver] of Torvane.ini beside the driver file, read at each
// connect. The front end never reads it.
#pragma once
#include <windows.h>

#include <cstdint>

struct DriverConfig {
    int refuseConnect;        // RefuseConnect: refuse CTL_CONNECT
    int refuseWithoutRecord;  // RefuseWithoutRecord: a refusal names no StatusBlock (a faulty driver)
    char errorText[1024];     // ErrorText: the refusal text
    int refuseLanguage;       // RefuseLanguage: refuse every CTL_SELECT_LANGUAGE
    int refuseLogStart;       // RefuseLogStart
    int refuseLogStop;        // RefuseLogStop
    char journal[MAX_PATH];   // Journal, resolved against driverFolder; empty when none
    char watch[4096];         // Watch: semicolon-separated folders (relative ones in driverFolder),
                              // "none" or empty for none
    uint32_t startLanguage;   // StartLanguage, below languages
    uint32_t languages;       // Languages, 1 to DRIVER_LANGUAGES
    uint32_t blinkSteps;      // BlinkSteps: blinkCount set for each file scanned
    uint32_t notifyBuffer;    // NotifyBuffer: bytes each watch collects changes in (tests make it
                              // small to force overflows), 16 to 65536
    uint32_t putOffRoom;      // PutOffRoom: reads, walks and actions put off at most, 1 to 4096 (tests
                              // make it small to fill it)
    uint32_t walkStep;        // WalkStep: entries of folders a walk lists before it lets other work
                              // go first (tests make it small to walk in many steps), 1 to 4096
    uint32_t queueRoom;       // QueueRoom: names the scan queue holds at most, 1 to 16384 (tests
                              // make it small to fill it)
    uint32_t dropNotices;     // DropNotices: every n-th name the watch brings is passed over, as
                              // if its notice was lost (tests); 0, the default: none
    uint32_t heldRoom;        // HeldRoom: files held open to deny access at most, 1 to 4096 (tests
                              // make it small to fill it)
    int engineClamd;          // Engine=clamd: ask a ClamAV daemon as well as the built-in rule
    char clamdHost[256];      // ClamdHost: comma-separated numeric IPv4 addresses or host names,
                              // each with ":port" where not ClamdPort; 127.0.0.1 by default
    uint32_t clamdPort;       // ClamdPort, 3310 by default
    uint32_t clamdTimeout;    // ClamdTimeout: ms the daemon may take for connect, send and answer
    uint32_t clamdRetry;      // ClamdRetry: ms after an outage before the daemon is asked again
    uint32_t clamdMaxBytes;   // ClamdMaxBytes: larger files and members are not sent to the daemon
};
extern DriverConfig config;              // as read at the last connect (or the first control code)
extern HMODULE driverModule;             // this DLL, recorded when it is loaded
extern char driverFolder[MAX_PATH];      // folder of the driver file, with a trailing backslash

// Reads the configuration; missing keys and a missing file give the defaults.
void ReadConfig(void);
