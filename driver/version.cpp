// The driver file's version trailer, read as the runtime's text mode delivers it.
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>

#include <array>

#include "driver/link.h"

int CheckDriverVersion(const char *fileName)
{
    std::array<unsigned char, TRAILER_SIZE> buffer{};
    // Text mode on purpose: the check has always been made on what text mode delivers, so a
    // CR LF pair or a 0x1A among the last ten bytes shortens the read and fails the check.
    int file = _sopen(fileName, _O_RDONLY | _O_TEXT, _SH_DENYNO, _S_IREAD);
    if (file == -1)
        return 0;
    long length = _lseek(file, 0, SEEK_END);
    if (length >= static_cast<long>(TRAILER_SIZE))
        _lseek(file, length - static_cast<long>(TRAILER_SIZE), SEEK_SET);
    else
        _lseek(file, 0, SEEK_SET);
    int got = _read(file, buffer.data(), static_cast<unsigned>(buffer.size()));
    int result = got == static_cast<int>(TRAILER_SIZE) ? CheckTrailer(buffer.data(), TRAILER_SIZE) : 0;
    _close(file);
    return result;
}
