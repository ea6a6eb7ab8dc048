// Watching the configured folders (config.watch) from a thread of their own, and queueing each
// file created or written there for the scan thread.
#pragma once

// Opens the configured folders and starts watching them, once; watching has begun on return.
// 1 when this call began watching (it opened at least one folder); 0 when an earlier call did, or
// when no folder could be watched.
int StartWatchers(void);
