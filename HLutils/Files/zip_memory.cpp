// The archive in memory and minizip's file functions over it.
#include "Files/zip_memory.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

namespace
{

// Archives up to this size are read into memory in a few large reads and
// handed to minizip from there. The buffer is kept for the next archive.
constexpr size_t kWholeArchive = 6u << 20;

// Bytes read at once from the end (minizip looks for the directory's end up
// to 64 KiB back).
constexpr size_t kTailRead = 128u << 10;

// Reads [from, to) into the buffer; false when the file ends early or fails.
bool read_span(zip_memory_archive& m, size_t from, size_t to)
{
    while (from < to) {
        ssize_t n = pread(m.fd, m.data.get() + from, to - from, (off_t)from);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        from += (size_t)n;
    }
    return true;
}

// Opens the archive for reading through m; false when it is
// no regular file of at most kWholeArchive bytes or cannot be read (minizip
// then opens it itself and reports what it finds).
bool read_archive(zip_memory_archive& m, const std::string& path)
{
    zip_memory_close(m);
    m.fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (m.fd < 0) return false;
    struct stat st;
    bool ok = fstat(m.fd, &st) == 0 && S_ISREG(st.st_mode) && (size_t)st.st_size <= kWholeArchive;
    // Reserved once at its largest: only the pages used are ever touched,
    // and a larger archive later never moves it (fresh pages fault again).
    if (ok && !m.data) m.data.reset(new char[kWholeArchive]);
    if (ok) {
        m.size = (size_t)st.st_size;
        m.head = 0;
        m.tail = m.size - std::min(m.size, kTailRead);
        m.pos = 0;
        ok = read_span(m, m.tail, m.size);
    }
    if (!ok) zip_memory_close(m);
    return ok;
}

voidpf ZCALLBACK mem_open(voidpf opaque, const void*, int mode)
{
    if (!(mode & ZLIB_FILEFUNC_MODE_READ)) return nullptr;
    static_cast<zip_memory_archive*>(opaque)->pos = 0;
    return opaque;
}

uLong ZCALLBACK mem_read(voidpf, voidpf stream, void* buf, uLong n)
{
    zip_memory_archive& m = *static_cast<zip_memory_archive*>(stream);
    size_t left = m.size - m.pos;
    if (n > left) n = (uLong)left;
    if (n == 0 || !zip_memory_load(m, m.pos, m.pos + n)) return 0;
    std::memcpy(buf, m.data.get() + m.pos, n);
    m.pos += n;
    return n;
}

uLong ZCALLBACK mem_write(voidpf, voidpf, const void*, uLong)
{
    return 0;
}

ZPOS64_T ZCALLBACK mem_tell(voidpf, voidpf stream)
{
    return static_cast<zip_memory_archive*>(stream)->pos;
}

long ZCALLBACK mem_seek(voidpf, voidpf stream, ZPOS64_T offset, int origin)
{
    zip_memory_archive& m = *static_cast<zip_memory_archive*>(stream);
    ZPOS64_T base = origin == ZLIB_FILEFUNC_SEEK_SET   ? 0
                    : origin == ZLIB_FILEFUNC_SEEK_CUR ? m.pos
                                                       : m.size;
    if (offset > m.size || base > m.size - offset) return -1;
    m.pos = (size_t)(base + offset);
    return 0;
}

int ZCALLBACK mem_close(voidpf, voidpf)
{
    return 0;
}

int ZCALLBACK mem_error(voidpf, voidpf)
{
    return 0;
}

} // namespace

bool zip_memory_load(zip_memory_archive& m, size_t from, size_t to)
{
    to = std::min(to, m.size);
    if (from >= to || to <= m.head || from >= m.tail) return true;
    // [head, tail) is read in order, a step ahead of what is asked for.
    const size_t upto = std::min(m.tail, std::max(to, m.head + kZipReadStep));
    if (!read_span(m, m.head, upto)) return false;
    m.head = upto;
    return true;
}

unzFile zip_memory_open(zip_memory_archive& m, const std::string& path)
{
    if (!read_archive(m, path)) return unzOpen(path.c_str());
    zlib_filefunc64_def funcs = {mem_open, mem_read,  mem_write, mem_tell,
                                 mem_seek, mem_close, mem_error, &m};
    return unzOpen2_64(path.c_str(), &funcs);
}

void zip_memory_close(zip_memory_archive& m)
{
    if (m.fd >= 0) close(m.fd);
    m.fd = -1;
}

zip_memory_span zip_memory_entry(const zip_memory_archive& m, unzFile zip,
                                 const unz_file_info& info)
{
    zip_memory_span none;
    if (m.fd < 0 || (info.flag & 1) || info.uncompressed_size > kZipWholeEntry) return none;
    if (info.compression_method != 0 && info.compression_method != Z_DEFLATED) return none;
    if (info.compression_method == 0 && info.compressed_size != info.uncompressed_size) return none;
    ZPOS64_T at = unzGetCurrentFileZStreamPos64(zip);
    if (at > m.size || info.compressed_size > m.size - at) return none;
    return {m.data.get() + at, size_t(at), size_t(info.compressed_size)};
}
