// The ClamAV daemons named by ClamdHost.
#include "vxd/engine/daemon_list.h"

#include <cstdio>

// Reads a decimal number of at most digits digits from text[*at] on, no larger than max.
static int Number(const char *text, size_t length, size_t *at, int digits, unsigned long max, unsigned long *value)
{
    size_t start = *at;
    *value = 0;
    while (*at < length && text[*at] >= '0' && text[*at] <= '9' && *at - start < static_cast<size_t>(digits))
        *value = *value * 10 + static_cast<unsigned long>(text[(*at)++] - '0');
    return *at > start && (*at == length || text[*at] < '0' || text[*at] > '9') && *value <= max;
}

static int ReadAddress(const char *text, size_t length, unsigned defaultPort, DaemonAddress *out)
{
    size_t at = 0;
    unsigned long part = 0;
    for (int i = 0; i < 4; i++) {
        if ((i > 0 && (at >= length || text[at++] != '.')) || !Number(text, length, &at, 3, 255, &part))
            return 0;
        out->ip[i] = static_cast<unsigned char>(part);
    }
    out->port = defaultPort;
    if (at < length) {
        if (text[at++] != ':' || !Number(text, length, &at, 5, 65535, &part) || part == 0 || at != length)
            return 0;
        out->port = static_cast<unsigned>(part);
    }
    std::snprintf(out->name, sizeof out->name, "%u.%u.%u.%u:%u", out->ip[0], out->ip[1], out->ip[2], out->ip[3],
                  out->port);
    return 1;
}

int ParseDaemonList(const char *text, unsigned defaultPort, DaemonAddress *out, int max, int *ignored)
{
    int count = 0;
    *ignored = 0;
    const char *p = text != nullptr ? text : "";
    while (*p) {
        const char *start = p;
        while (*p && *p != ',')
            p++;
        const char *stop = p;
        if (*p == ',')
            p++;
        while (start < stop && (*start == ' ' || *start == '\t'))
            start++;
        while (stop > start && (stop[-1] == ' ' || stop[-1] == '\t'))
            stop--;
        if (start == stop)
            continue;
        if (count < max && ReadAddress(start, static_cast<size_t>(stop - start), defaultPort, &out[count]))
            count++;
        else
            (*ignored)++;
    }
    return count;
}
