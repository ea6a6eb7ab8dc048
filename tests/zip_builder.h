// ZIP archives made in memory for the tests of the driver's archive reading, with the offsets
// needed to make them lie.
#pragma once
#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

struct ZipEntry {
    std::string name;
    std::string data;
    int method;          // 0 stored, 8 deflated, anything else as given
    uint16_t flags;
};

inline void Put16(std::string *out, uint32_t v)
{
    out->push_back(static_cast<char>(v & 0xFF));
    out->push_back(static_cast<char>((v >> 8) & 0xFF));
}

inline void Put32(std::string *out, uint32_t v)
{
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

inline void Patch32(std::string *zip, size_t at, uint32_t v)
{
    std::string bytes;
    Put32(&bytes, v);
    zip->replace(at, 4, bytes);
}

inline std::string RawDeflate(const std::string &data)
{
    z_stream stream = {};
    deflateInit2(&stream, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&stream, data.size()), '\0');
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = reinterpret_cast<Bytef *>(&out[0]);
    stream.avail_out = static_cast<uInt>(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

// An archive of entries; *central receives the offset of each entry's directory record.
inline std::string BuildZip(const std::vector<ZipEntry> &entries, std::vector<size_t> *central = nullptr)
{
    std::string zip;
    std::string directory;
    std::vector<size_t> records;
    for (const ZipEntry &e : entries) {
        std::string packed = e.method == 8 ? RawDeflate(e.data) : e.data;
        uint32_t crc = crc32(0, reinterpret_cast<const Bytef *>(e.data.data()), static_cast<uInt>(e.data.size()));
        size_t local = zip.size();
        Put32(&zip, 0x04034b50);
        Put16(&zip, 20), Put16(&zip, e.flags), Put16(&zip, static_cast<uint32_t>(e.method)), Put32(&zip, 0);
        Put32(&zip, crc), Put32(&zip, static_cast<uint32_t>(packed.size())), Put32(&zip, static_cast<uint32_t>(e.data.size()));
        Put16(&zip, static_cast<uint32_t>(e.name.size())), Put16(&zip, 0);
        zip += e.name + packed;
        records.push_back(directory.size());
        Put32(&directory, 0x02014b50);
        Put16(&directory, 20), Put16(&directory, 20), Put16(&directory, e.flags);
        Put16(&directory, static_cast<uint32_t>(e.method)), Put32(&directory, 0), Put32(&directory, crc);
        Put32(&directory, static_cast<uint32_t>(packed.size())), Put32(&directory, static_cast<uint32_t>(e.data.size()));
        Put16(&directory, static_cast<uint32_t>(e.name.size())), Put16(&directory, 0), Put16(&directory, 0);
        Put16(&directory, 0), Put16(&directory, 0), Put32(&directory, 0), Put32(&directory, static_cast<uint32_t>(local));
        directory += e.name;
    }
    size_t directoryOffset = zip.size();
    if (central != nullptr) {
        for (size_t r : records)
            central->push_back(directoryOffset + r);
    }
    zip += directory;
    Put32(&zip, 0x06054b50);
    Put16(&zip, 0), Put16(&zip, 0), Put16(&zip, static_cast<uint32_t>(entries.size()));
    Put16(&zip, static_cast<uint32_t>(entries.size())), Put32(&zip, static_cast<uint32_t>(directory.size()));
    Put32(&zip, static_cast<uint32_t>(directoryOffset)), Put16(&zip, 0);
    return zip;
}

