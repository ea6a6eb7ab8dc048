// The reference driver loaded into a bench program as the front end loads it, without the front
// end: for measuring the driver alone.
#pragma once
#include <windows.h>

#include <string>

#include "driver/protocol.h"
#include "driver/status_block.h"

typedef BOOL(WINAPI *DriverEntry)(DWORD, LPVOID, DWORD, LPVOID, DWORD, LPDWORD, LPOVERLAPPED);

// Copies the build's driver into folder (made if need be) with a Torvane.ini of ini's text, loads
// it and connects (no window). 1 with *entry and *block set; 0 with a line on stderr.
int LoadDriver(const std::string &folder, const std::string &ini, DriverEntry *entry, StatusBlock **block);

// Puts the scan settings in force: every file, archives looked into, on every arrival and write;
// action (ACTION_*) on what is found.
void ScanEverything(DriverEntry entry, StatusBlock *block, int action);
