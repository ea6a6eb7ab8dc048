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

// Appends v as count little-endian bytes (zeros beyond its four).
inline void Put(std::string *out, uint32_t v, int count)
{
    for (int i = 0; i < count; i++)
        out->push_back(static_cast<char>(i < 4 ? (v >> (8 * i)) & 0xFF : 0));
}

inline void Patch32(std::string *zip, size_t at, uint32_t v)
{
    std::string bytes;
    Put(&bytes, v, 4);
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
    std::string zip, directory;
    std::vector<size_t> records;
    for (const ZipEntry &e : entries) {
        std::string packed = e.method == 8 ? RawDeflate(e.data) : e.data;
        uint32_t crc = crc32(0, reinterpret_cast<const Bytef *>(e.data.data()), static_cast<uInt>(e.data.size()));
        // What the local header and the directory record share: flags, method, time, CRC, sizes, name length.
        std::string common;
        Put(&common, e.flags, 2), Put(&common, static_cast<uint32_t>(e.method), 2), Put(&common, 0, 4);
        Put(&common, crc, 4), Put(&common, static_cast<uint32_t>(packed.size()), 4);
        Put(&common, static_cast<uint32_t>(e.data.size()), 4), Put(&common, static_cast<uint32_t>(e.name.size()), 2);
        size_t local = zip.size();
        Put(&zip, 0x04034b50, 4), Put(&zip, 20, 2);
        zip += common;
        Put(&zip, 0, 2);
        zip += e.name + packed;
        records.push_back(directory.size());
        Put(&directory, 0x02014b50, 4), Put(&directory, 20, 2), Put(&directory, 20, 2);
        directory += common;
        Put(&directory, 0, 12);   // extra and comment lengths, disk, attributes
        Put(&directory, static_cast<uint32_t>(local), 4);
        directory += e.name;
    }
    size_t directoryOffset = zip.size();
    for (size_t r : records) {
        if (central != nullptr)
            central->push_back(directoryOffset + r);
    }
    zip += directory;
    Put(&zip, 0x06054b50, 4), Put(&zip, 0, 4), Put(&zip, static_cast<uint32_t>(entries.size()), 2);
    Put(&zip, static_cast<uint32_t>(entries.size()), 2), Put(&zip, static_cast<uint32_t>(directory.size()), 4);
    Put(&zip, static_cast<uint32_t>(directoryOffset), 4), Put(&zip, 0, 2);
    return zip;
}
