// Scanning on the scan thread: each queued file the settings choose is read, judged by the
// built-in rule and the engine, and a detection is counted, reported, acted on and posted.
#pragma once
#include <windows.h>

// 1 between CTL_ENABLE and CTL_DISABLE; on from the start. While 0, queued files are passed over.
extern volatile LONG scanningEnabled;

// Starts the thread that scans the queued names one by one; it sleeps while there are none and is
// never waited for (the process ends it when it exits). Once, when watching has begun.
void StartScanThread(void);
