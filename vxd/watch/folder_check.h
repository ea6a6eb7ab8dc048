// The look at every watched folder's name, every few seconds: a folder renamed away or deleted is
// let go, and watched again as soon as a folder of its name exists. The watch thread's only.
#pragma once

// Looks at every folder's name now; the files that came while a folder was not watched are
// queued for a rescan.
void CheckFolders(void);
