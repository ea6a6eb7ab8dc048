// What the driver asks of the platform it runs on.
#pragma once

// 1 under Wine (ntdll exports wine_get_version), asked once. Wine watches a subtree only in the
// folders opened since the watch began, a Linux program may write names there that Win32 refuses,
// and Wine takes a file's change time from its file system, where no program can set it back.
int RunsOnWine(void);
