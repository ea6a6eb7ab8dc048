// Scanning one file the watch or a walk named, on the scan thread: chosen by the settings, opened,
// read whole, judged by the built-in rule, looked into when it is an archive, handed to the
// engine, and what a detection asks for done.
#pragma once
#include <windows.h>

// 1 between CTL_ENABLE and CTL_DISABLE; on from the start. While 0, queued files are passed over.
extern volatile LONG scanningEnabled;

// Scans the file at path if the settings ask for it; fresh: it arrived under a new name. attempt:
// the tries that failed before (0 for a notice). A file that cannot be read whole now is put off
// and read again later. 1 when path names a folder that arrived, whose files the caller walks; 0
// otherwise.
int ScanFile(const wchar_t *path, int fresh, unsigned attempt);
