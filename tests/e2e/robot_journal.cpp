// The robot's reading of the reference driver's journal: one line per control code and event.
#include "tests/e2e/robot.h"

std::vector<std::string> ReadJournal(const std::string &folder, const char *name)
{
    std::vector<std::string> lines;
    std::string bytes;
    if (!ReadFileBytes(folder + "\\" + name, &bytes))
        return lines;
    size_t start = 0;
    for (size_t newline = bytes.find('\n'); newline != std::string::npos; newline = bytes.find('\n', start)) {
        std::string line = bytes.substr(start, newline - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
        start = newline + 1;
    }
    return lines;
}

static int StartsWith(const std::string &line, const std::string &prefix)
{
    return line.compare(0, prefix.size(), prefix) == 0;
}

int WaitJournalLine(const std::string &folder, const std::string &prefix, DWORD timeoutMs, std::string *line,
                    const char *name)
{
    return WaitUntil([&] {
        for (const std::string &l : ReadJournal(folder, name)) {
            if (StartsWith(l, prefix)) {
                if (line != nullptr)
                    *line = l;
                return 1;
            }
        }
        return 0;
    }, timeoutMs);
}

std::string LastJournalLine(const std::string &folder, const std::string &prefix)
{
    std::string found;
    for (const std::string &line : ReadJournal(folder)) {
        if (StartsWith(line, prefix))
            found = line;
    }
    return found;
}

std::string JournalField(const std::string &line, const std::string &key)
{
    std::string needle = key + "=";
    size_t at = 0;
    while ((at = line.find(needle, at)) != std::string::npos) {
        if (at == 0 || line[at - 1] == ' ') {
            size_t begin = at + needle.size();
            size_t end = line.find(' ', begin);
            return line.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
        }
        at += needle.size();
    }
    return "";
}

std::vector<std::string> JournalCodes(const std::vector<std::string> &lines)
{
    std::vector<std::string> codes;
    for (const std::string &line : lines) {
        if (StartsWith(line, "CTL_"))
            codes.push_back(line.substr(0, line.find(' ')));
    }
    return codes;
}
