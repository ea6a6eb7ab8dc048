// The ClamAV daemons named by ClamdHost. No windows.h: built natively for the unit tests.
#pragma once
#include <cstddef>

constexpr int MAX_DAEMONS = 8;

constexpr size_t HOST_NAME_SIZE = 254;   // a host name's 253 characters at most, and its NUL

struct DaemonAddress {
    unsigned char ip[4];      // IPv4 address, first byte first; for a host name, what it resolved
                              // to last (all 0 until then)
    unsigned port;
    int byName;               // 1 when host is a name, resolved when the daemon is connected to
    char host[HOST_NAME_SIZE];  // the address or the name as ClamdHost writes it
    char name[HOST_NAME_SIZE + 8];  // "host:port": how the journal names the daemon
};

// Reads a comma-separated list of "host" or "host:port" entries, each host a numeric IPv4 address
// "a.b.c.d" or a host name (labels of letters, digits, '-' and '_' joined by dots, the last not all
// digits), into out, at most max of them; returns how many. Blanks around an entry are dropped;
// defaultPort where an entry names none. *ignored receives the number of entries that are neither,
// or that found no room.
int ParseDaemonList(const char *text, unsigned defaultPort, DaemonAddress *out, int max, int *ignored);
