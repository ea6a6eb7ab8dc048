// Which files the driver scans and the names it gives the files it acts on.
#include "vxd/options/scan_rules.h"

#include <cstdio>
#include <cstring>

#include "base/bounded.h"

const char MACRO_EXTENSIONS[] = "DOC,DOT,WIZ,RTF,XLS,XLT,XLA,XLB,XLW,XLM,PPT,POT,PPS,PPA,MDB,MDA,MDE";

static char UpperAscii(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

const char *FileNameOf(const char *path)
{
    const char *name = path;
    for (const char *p = path; *p; p++) {
        if (*p == '\\' || *p == '/')
            name = p + 1;
    }
    return name;
}

std::string NameAsWritten(const std::string &name)
{
    size_t length = name.size();
    while (length > 0 && (name[length - 1] == '.' || name[length - 1] == ' '))
        length--;
    return name.substr(0, length);
}

const char *ExtensionOf(const char *path)
{
    const char *name = FileNameOf(path);
    const char *dot = std::strrchr(name, '.');
    return dot != nullptr ? dot + 1 : name + std::strlen(name);
}

// One entry of the list: start and length with blanks around it dropped; 1 when it is usable.
static int TrimEntry(const char **start, size_t *length)
{
    const char *s = *start;
    size_t n = *length;
    while (n > 0 && (*s == ' ' || *s == '\t')) {
        s++;
        n--;
    }
    while (n > 0 && (s[n - 1] == ' ' || s[n - 1] == '\t'))
        n--;
    *start = s;
    *length = n;
    if (n == 0 || n > EXTENSION_ENTRY_MAX)
        return 0;
    for (size_t i = 0; i < n; i++) {
        if (s[i] == ' ' || s[i] == '\t' || s[i] == '.' || static_cast<unsigned char>(s[i]) < 0x20)
            return 0;
    }
    return 1;
}

static int EntryMatches(const char *entry, size_t length, const char *ext)
{
    if (std::strlen(ext) != length)
        return 0;
    for (size_t i = 0; i < length; i++) {
        if (entry[i] != '?' && UpperAscii(entry[i]) != UpperAscii(ext[i]))
            return 0;
    }
    return 1;
}

// Calls visit for each entry; stops and returns 1 as soon as visit does.
template <class Visit> static int ForEachEntry(const char *list, size_t listSize, Visit visit)
{
    if (list == nullptr)
        return 0;
    const char *end = list + BoundedLength(list, listSize);
    for (const char *p = list; p <= end;) {
        const char *comma = static_cast<const char *>(std::memchr(p, ',', static_cast<size_t>(end - p)));
        const char *stop = comma != nullptr ? comma : end;
        const char *start = p;
        size_t length = static_cast<size_t>(stop - p);
        int usable = TrimEntry(&start, &length);
        if (visit(usable, start, length))
            return 1;
        p = stop + 1;
    }
    return 0;
}

int IsListedExtension(const char *list, size_t listSize, const char *ext)
{
    if (ext == nullptr || ext[0] == 0)
        return 0;
    return ForEachEntry(list, listSize, [&](int usable, const char *entry, size_t length) {
        return usable && EntryMatches(entry, length, ext);
    });
}

void CountExtensions(const char *list, size_t listSize, int *used, int *ignored)
{
    *used = 0;
    *ignored = 0;
    ForEachEntry(list, listSize, [&](int usable, const char *, size_t length) {
        if (usable)
            ++*used;
        else if (length > 0)
            ++*ignored;   // empty entries are only room between commas
        return 0;
    });
}

int WantsFile(uint32_t scanType, const char *inUse, size_t inUseSize, const char *path)
{
    switch (scanType) {
    case SCAN_PROGRAMS:
        return IsListedExtension(inUse, inUseSize, ExtensionOf(path));
    case SCAN_MACROS:
        return IsListedExtension(MACRO_EXTENSIONS, sizeof MACRO_EXTENSIONS, ExtensionOf(path));
    }
    return 1;
}

static int Fail(char *out, size_t size)
{
    if (size > 0)
        out[0] = 0;
    return 0;
}

// Extensions Windows runs, or opens as something that runs code: programs and scripts, shortcuts
// and installers, disk images it mounts, help files, screen savers, drivers and documents that
// carry macros. Upper case; the one table of the rename rule.
constexpr const char *RUNNABLE_EXTENSIONS[] = {
    "APPLICATION", "APPREF-MS", "BAT", "CHM", "CMD", "COM", "CPL", "DIAGCAB", "EXE", "GADGET", "HLP",
    "HTA", "IMG", "INF", "INS", "ISO", "ISP", "JAR", "JS", "JSE", "LNK", "MSC", "MSH", "MSI", "MSP",
    "MST", "PIF", "PS1", "PSC1", "REG", "SCF", "SCR", "SCT", "SETTINGCONTENT-MS", "SHB", "SHS", "URL",
    "VB", "VBE", "VBS", "VHD", "VHDX", "VSD", "VSDM", "VSS", "VSSM", "VST", "VSTM", "VXD", "WS", "WSC",
    "WSF", "WSH", "XBAP",
};
constexpr char NEUTRAL_EXTENSION[] = "VIR";

// The first length characters of ext are entry, letters without regard to case.
constexpr int SameExtension(const char *ext, size_t length, const char *entry)
{
    size_t i = 0;
    for (; i < length && entry[i] != 0; i++) {
        char c = ext[i];
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
        if (c != entry[i])
            return 0;
    }
    return i == length && entry[i] == 0;
}

// 1 when a name ending in ext (length characters) is run or opened as code: by the extension
// itself, or by the three characters its 8.3 short name keeps of a longer one.
constexpr int IsRunnableExtension(const char *ext, size_t length)
{
    for (const char *entry : RUNNABLE_EXTENSIONS) {
        if (SameExtension(ext, length, entry) || (length > 3 && SameExtension(ext, 3, entry)))
            return 1;
    }
    return 0;
}
static_assert(!IsRunnableExtension(NEUTRAL_EXTENSION, sizeof NEUTRAL_EXTENSION - 1), "the fall-back is neutral");

// 1 when the name ends in a runnable extension as Windows reads it: trailing blanks, which
// Windows drops from a name, do not count.
static int EndsRunnable(const char *name)
{
    const char *ext = ExtensionOf(name);
    size_t length = std::strlen(ext);
    while (length > 0 && ext[length - 1] == ' ')
        length--;
    return IsRunnableExtension(ext, length);
}

int RefusedInName(unsigned c)
{
    return c < 0x20 || c == '?' || c == '*' || c == ':' || c == '"' || c == '<' || c == '>' || c == '|';
}

int RenamedName(const char *path, char *out, size_t size)
{
    if (path == nullptr || size == 0)
        return Fail(out, size);
    const char *ext = ExtensionOf(path);
    int written;
    if (*ext == 0) {
        size_t length = std::strlen(path);
        int hasDot = length > 0 && path[length - 1] == '.';
        written = std::snprintf(out, size, "%s%s%s", path, hasDot ? "" : ".", NEUTRAL_EXTENSION);
    } else {
        size_t stem = static_cast<size_t>(ext - path);
        char first = UpperAscii(*ext) == 'V' ? '_' : 'V';
        const char *rest = ext + 1;
        while ((static_cast<unsigned char>(*rest) & 0xC0) == 0x80)
            rest++;   // the whole first character goes, not just its first byte
        written = std::snprintf(out, size, "%.*s%c%s", static_cast<int>(stem), path, first, rest);
        // "a.xbs" would become the script "a.Vbs": keep the whole name and add the neutral one.
        if (written >= 0 && static_cast<size_t>(written) < size && EndsRunnable(out))
            written = std::snprintf(out, size, "%s.%s", path, NEUTRAL_EXTENSION);
    }
    if (written < 0 || static_cast<size_t>(written) >= size)
        return Fail(out, size);
    for (char *c = const_cast<char *>(FileNameOf(out)); *c != 0; c++) {
        if (RefusedInName(static_cast<unsigned char>(*c)))
            *c = '_';
    }
    return 1;
}

int FreeNameCandidate(const char *path, unsigned attempt, char *out, size_t size)
{
    if (path == nullptr || size == 0)
        return Fail(out, size);
    if (attempt == 0)
        return CopyBounded(out, size, path) ? 1 : Fail(out, size);
    const char *ext = ExtensionOf(path);
    size_t stem = *ext != 0 ? static_cast<size_t>(ext - 1 - path) : std::strlen(path);
    int written = std::snprintf(out, size, "%.*s_%u%s%s", static_cast<int>(stem), path, attempt, *ext ? "." : "", ext);
    if (written < 0 || static_cast<size_t>(written) >= size)
        return Fail(out, size);
    return 1;
}
