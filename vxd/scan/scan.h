// The scan thread: it scans the names the watch queued one by one, walks the folders whose notices
// were lost, and does the work put off until later.
#pragma once

// Starts the thread that scans the queued names one by one; it sleeps while there are none and is
// never waited for (the process ends it when it exits). Once, when watching has begun.
void StartScanThread(void);
