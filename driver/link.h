// The front end's link to the scanning driver: check, open, connect, language, control codes.
#pragma once
#include <windows.h>

#include "driver/protocol.h"
#include "driver/status_block.h"

extern HANDLE driverHandle;             // the opened device (Windows 9x); never closed by the program
extern StatusBlock *statusBlock;        // shared with the driver; null until a connect reply names it
extern const uint32_t *languageTable;   // the LanguageTable in force: 702 addresses of OEM texts
extern uint32_t languageCount;          // languages the driver offers (fixed after the connect)
extern const uint32_t *languageList;    // languageCount text numbers naming the languages
extern uint32_t languageId;             // chosen language: position in languageList, stored as "Language"

// 1 when fileName (looked up in the current directory) ends in the "FW3050" trailer. Read with the
// runtime's low-level calls in text mode, so CR LF or 0x1A among the last ten bytes fails the check.
int CheckDriverVersion(const char *fileName);

// 1 when the driver is loaded; otherwise shows "Cannot load ..." (last error + 100) and returns 0.
int OpenDriver(const char *fileName);

// Sends CTL_CONNECT. Takes statusBlock from the reply whatever the outcome; on refusal writes 0 to
// enabled (when there is a record to write to), shows the driver's errorText and returns 0.
// On success keeps languageTable, languageCount and languageList and returns 1.
int ConnectDriver(const char *programDir, HWND mainWindow);

// Sends CTL_SELECT_LANGUAGE; on success replaces languageTable and returns 1. On refusal shows
// "Can not load new language" with text 600 as caption and returns 0, the table unchanged.
int SelectLanguage(uint32_t id);

// Sends a code that carries no buffers; nonzero when the driver accepted it. Every such code of the
// front end (start-up's, the tray's and the pages') goes through this one seam, where tests put a
// recorder; otherwise it holds SendControlToDevice.
extern int (*sendControl)(uint32_t code);
int SendControlToDevice(uint32_t code);

// The device layer under the calls above. On Windows 9x it is DeviceIoControl on driverHandle;
// elsewhere the driver file is loaded as a DLL and its exported "DeviceIoControl" entry (the same
// arguments less the handle) is called.
int DeviceControl(uint32_t code, void *in, uint32_t inSize, void *out, uint32_t outSize, DWORD *returned);

// Shows text in a message box with the stop icon, one OK button and no owner window.
void ShowStop(const char *text, const char *caption);
