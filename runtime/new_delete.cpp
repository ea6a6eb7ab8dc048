// The C++ allocation functions of the Windows 95/98 program, which links no C++ run-time library:
// the toolchain's operator new throws, and its exception support brings the unwinder, a thread
// shim and Pentium Pro code. The front end allocates only with new (std::nothrow); a plain new
// finds no definition here and fails to link.
#include <cstdlib>
#include <new>

// The tag <new> declares and the C++ run-time library would define.
namespace std {
const nothrow_t nothrow{};
}

void *operator new(std::size_t size, const std::nothrow_t &) noexcept
{
    return std::malloc(size != 0 ? size : 1);
}

void *operator new[](std::size_t size, const std::nothrow_t &) noexcept
{
    return std::malloc(size != 0 ? size : 1);
}

void operator delete(void *p) noexcept
{
    std::free(p);
}

void operator delete[](void *p) noexcept
{
    std::free(p);
}

void operator delete(void *p, std::size_t) noexcept
{
    std::free(p);
}

void operator delete[](void *p, std::size_t) noexcept
{
    std::free(p);
}
