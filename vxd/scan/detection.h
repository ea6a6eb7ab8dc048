// Telling the front end of each detection: WM_VIRUS_FOUND (the message the connect named) with the
// address of the file's OEM name.
#pragma once

// Sets aside, once, the slots the names wait in (below 4 GB); before the first detection.
void PrepareDetections(void);

// Posts the message for oemName to the window the connect named; waits while the front end's
// queue is full, and gives up (journalled) when the window is gone or its queue stays full for
// 5 s. Nothing is posted when the connect named no window or message.
void PostDetection(const char *oemName);
