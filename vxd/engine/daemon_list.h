// The ClamAV daemons named by ClamdHost. No windows.h: built natively for the unit tests.
#pragma once
#include <cstddef>

constexpr int MAX_DAEMONS = 8;

struct DaemonAddress {
    unsigned char ip[4];      // numeric IPv4 address, first byte first
    unsigned port;
    char name[22];            // "a.b.c.d:port": how the journal names the daemon
};

// Reads a comma-separated list of "a.b.c.d" or "a.b.c.d:port" entries (blanks around an entry are
// dropped; defaultPort where an entry names none) into out, at most max of them; returns how many.
// *ignored receives the number of entries that are not such an address, or that found no room.
int ParseDaemonList(const char *text, unsigned defaultPort, DaemonAddress *out, int max, int *ignored);
