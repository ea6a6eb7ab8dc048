// The ClamAV daemons named by ClamdHost.
#include "vxd/engine/daemon_list.h"

#include <cstdio>
#include <cstring>

// Reads a decimal number of at most digits digits from text[*at] on, no larger than max.
static int Number(const char *text, size_t length, size_t *at, int digits, unsigned long max, unsigned long *value)
{
    size_t start = *at;
    *value = 0;
    while (*at < length && text[*at] >= '0' && text[*at] <= '9' && *at - start < static_cast<size_t>(digits))
        *value = *value * 10 + static_cast<unsigned long>(text[(*at)++] - '0');
    return *at > start && (*at == length || text[*at] < '0' || text[*at] > '9') && *value <= max;
}

// 1 when text (length characters) is a numeric address "a.b.c.d", into out->ip.
static int ReadNumeric(const char *text, size_t length, DaemonAddress *out)
{
    size_t at = 0;
    unsigned long part = 0;
    for (int i = 0; i < 4; i++) {
        if ((i > 0 && (at >= length || text[at++] != '.')) || !Number(text, length, &at, 3, 255, &part))
            return 0;
        out->ip[i] = static_cast<unsigned char>(part);
    }
    return at == length;
}

static int IsLabelCharacter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
}

// 1 when text (length characters) is a host name: labels of 1 to 63 letters, digits, '-' and '_',
// none beginning or ending with '-', joined by dots, at most 253 characters. A last label of digits
// only is refused: "10.0.0" or "256.1.1.1" is a mistyped address, not a name to look up.
static int IsHostName(const char *text, size_t length)
{
    if (length == 0 || length >= HOST_NAME_SIZE)
        return 0;
    size_t label = 0;
    int digitsOnly = 1;
    for (size_t i = 0; i <= length; i++) {
        if (i == length || text[i] == '.') {
            if (label == 0 || label > 63 || text[i - 1] == '-')
                return 0;
            if (i == length)
                return !digitsOnly;
            label = 0;
            digitsOnly = 1;
            continue;
        }
        if (!IsLabelCharacter(text[i]) || (label == 0 && text[i] == '-'))
            return 0;
        digitsOnly &= text[i] >= '0' && text[i] <= '9';
        label++;
    }
    return 0;
}

static int ReadAddress(const char *text, size_t length, unsigned defaultPort, DaemonAddress *out)
{
    size_t hostLength = 0;
    while (hostLength < length && text[hostLength] != ':')
        hostLength++;
    *out = {};
    if (!ReadNumeric(text, hostLength, out)) {
        if (!IsHostName(text, hostLength))
            return 0;
        out->ip[0] = out->ip[1] = out->ip[2] = out->ip[3] = 0;
        out->byName = 1;
    }
    std::memcpy(out->host, text, hostLength);   // IsHostName or ReadNumeric bounded it
    out->host[hostLength] = 0;
    out->port = defaultPort;
    size_t at = hostLength;
    if (at < length) {
        unsigned long part = 0;
        if (text[at++] != ':' || !Number(text, length, &at, 5, 65535, &part) || part == 0 || at != length)
            return 0;
        out->port = static_cast<unsigned>(part);
    }
    std::snprintf(out->name, sizeof out->name, "%s:%u", out->host, out->port);
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
