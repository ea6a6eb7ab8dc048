// What streaming files to a ClamAV daemon costs any Windows program under Wine: the floor under
// the driver's ClamAV engine on this platform, beside clamdscan --stream, which runs natively.
// One connection, one session (zIDSESSION), the files one after another as clamdscan sends them:
// each read whole and sent as zINSTREAM in chunks of a megabyte (one call each, the command with
// the first and the end with the last), its answer read before the next.
// Nothing is watched, judged or remembered, and no call is made that the stream does not need.
// Usage: stream_floor <folder> <port>
#include <winsock2.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tests/bench/bench_support.h"

constexpr size_t CHUNK = 1u << 20;

// Reads one answer (up to its NUL); 0 when the connection ended first.
static int ReadAnswer(SOCKET s, std::string *answer)
{
    answer->clear();
    char c = 0;
    static char buffer[1024];
    static size_t have, at;
    for (;;) {
        if (at == have) {
            int got = recv(s, buffer, sizeof buffer, 0);
            if (got <= 0)
                return 0;
            have = static_cast<size_t>(got);
            at = 0;
        }
        c = buffer[at++];
        if (c == 0)
            return 1;
        answer->push_back(c);
    }
}

int main(int argc, char **argv)
{
    if (argc < 3)
        return 2;
    std::string folder = argv[1];
    std::vector<std::string> names;
    uint64_t bytes = ListFiles(folder, &names);
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<u_short>(std::atoi(argv[2])));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (names.empty() || connect(s, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0)
        return 1;
    BOOL noDelay = TRUE;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char *>(&noDelay), sizeof noDelay);
    static const char session[] = "zIDSESSION";
    static const char stream[] = "zINSTREAM";
    send(s, session, sizeof session, 0);
    std::vector<char> content;
    std::string answer;
    int found = 0;
    size_t answered = 0;
    double processor = ProcessorMs();
    double start = NowMs();
    for (const std::string &name : names) {
        HANDLE file = CreateFileA((folder + "\\" + name).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            continue;
        DWORD size = GetFileSize(file, nullptr);
        content.resize(size);
        DWORD got = 0;
        ReadFile(file, content.data(), size, &got, nullptr);
        CloseHandle(file);
        // The command, each chunk with its length before it, and the end: one call per chunk.
        size_t offset = 0;
        int sent = 1;
        do {
            uint32_t chunk = static_cast<uint32_t>(got - offset < CHUNK ? got - offset : CHUNK);
            uint32_t header = htonl(chunk);
            static char end[4] = {0, 0, 0, 0};
            WSABUF parts[4];
            DWORD n = 0;
            if (offset == 0)
                parts[n++] = {sizeof stream, const_cast<char *>(stream)};
            if (chunk > 0) {
                parts[n++] = {4, reinterpret_cast<char *>(&header)};
                parts[n++] = {chunk, content.data() + offset};
            }
            if (offset + chunk == got)
                parts[n++] = {4, end};
            DWORD done = 0;
            sent = WSASend(s, parts, n, &done, 0, nullptr, nullptr) == 0;
            offset += chunk;
        } while (sent && offset < got);
        if (!ReadAnswer(s, &answer))
            break;
        answered++;
        found += answer.find("FOUND") != std::string::npos;
    }
    double elapsed = NowMs() - start;
    processor = ProcessorMs() - processor;
    double mb = static_cast<double>(bytes) / (1024.0 * 1024.0);
    std::printf("RESULT floor_stream files=%zu answered=%zu found=%d mb=%.1f ms=%.0f mb_per_s=%.1f cpu_ms=%.0f\n",
                names.size(), answered, found, mb, elapsed, mb / (elapsed / 1000.0), processor);
    closesocket(s);
    return answered == names.size() ? 0 : 1;
}
