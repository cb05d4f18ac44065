// The reference for the unpack benchmarks: one process that reads each
// archive whole, unzips it with zlib's minizip over that memory and writes
// each entry with one write, restoring mode and date as unzip does. Nothing
// of the library is used.
//
//   unpack_ref <zips/> <out/>   every <zips/>D/x.zip is extracted into <out/>D/
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <minizip/unzip.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "zip_tree.h"

namespace
{

struct memory_file {
    const std::vector<char>* data = nullptr;
    size_t pos = 0;
};

std::vector<char> g_archive; // buffers kept across archives, as any careful tool would
std::vector<char> g_entry;
memory_file g_file;

voidpf mem_open(voidpf, const void*, int)
{
    g_file.data = &g_archive;
    g_file.pos = 0;
    return &g_file;
}
uLong mem_read(voidpf, voidpf s, void* buf, uLong n)
{
    auto* f = static_cast<memory_file*>(s);
    size_t left = f->data->size() - f->pos;
    if (n > left) n = (uLong)left;
    std::memcpy(buf, f->data->data() + f->pos, n);
    f->pos += n;
    return n;
}
uLong mem_write(voidpf, voidpf, const void*, uLong)
{
    return 0;
}
ZPOS64_T mem_tell(voidpf, voidpf s)
{
    return static_cast<memory_file*>(s)->pos;
}
long mem_seek(voidpf, voidpf s, ZPOS64_T off, int origin)
{
    auto* f = static_cast<memory_file*>(s);
    size_t base = origin == ZLIB_FILEFUNC_SEEK_SET   ? 0
                  : origin == ZLIB_FILEFUNC_SEEK_CUR ? f->pos
                                                     : f->data->size();
    if (base + off > f->data->size()) return -1;
    f->pos = base + off;
    return 0;
}
int mem_close(voidpf, voidpf)
{
    return 0;
}
int mem_error(voidpf, voidpf)
{
    return 0;
}

bool read_whole(const char* path)
{
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st;
    bool ok = fstat(fd, &st) == 0;
    if (ok) g_archive.resize((size_t)st.st_size);
    size_t got = 0;
    while (ok && got < g_archive.size()) {
        ssize_t n = read(fd, g_archive.data() + got, g_archive.size() - got);
        if (n <= 0) ok = false;
        got += n > 0 ? (size_t)n : 0;
    }
    close(fd);
    return ok;
}

bool unpack(const char* archive, const std::string& out)
{
    if (!read_whole(archive)) return false;
    zlib_filefunc64_def funcs = {mem_open, mem_read,  mem_write, mem_tell,
                                 mem_seek, mem_close, mem_error, nullptr};
    unzFile z = unzOpen2_64(archive, &funcs);
    if (!z) return false;
    bool ok = unzGoToFirstFile(z) == UNZ_OK;
    while (ok) {
        unz_file_info64 info;
        char name[256];
        if (unzGetCurrentFileInfo64(z, &info, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK)
            return false;
        std::string path = out + name;
        if (path.back() == '/') {
            mkdir(path.c_str(), 0755);
        } else {
            g_entry.resize(info.uncompressed_size);
            if (unzOpenCurrentFile(z) != UNZ_OK) return false;
            int n = unzReadCurrentFile(z, g_entry.data(), (unsigned)g_entry.size());
            if (n < 0 || (size_t)n != g_entry.size() || unzCloseCurrentFile(z) != UNZ_OK)
                return false;
            int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
            if (fd < 0 || write(fd, g_entry.data(), g_entry.size()) != (ssize_t)g_entry.size())
                return false;
            if (info.external_fa >> 16) fchmod(fd, (mode_t)((info.external_fa >> 16) & 0777));
            struct tm when = {};
            when.tm_sec = (int)info.tmu_date.tm_sec;
            when.tm_min = (int)info.tmu_date.tm_min;
            when.tm_hour = (int)info.tmu_date.tm_hour;
            when.tm_mday = (int)info.tmu_date.tm_mday;
            when.tm_mon = (int)info.tmu_date.tm_mon;
            when.tm_year = (int)info.tmu_date.tm_year - 1900;
            when.tm_isdst = -1;
            struct timespec ts[2] = {{mktime(&when), 0}, {mktime(&when), 0}};
            futimens(fd, ts);
            if (close(fd) != 0) return false;
        }
        int next = unzGoToNextFile(z);
        if (next == UNZ_END_OF_LIST_OF_FILE) break;
        ok = next == UNZ_OK;
    }
    unzClose(z);
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: unpack_ref <zips/> <out/>\n");
        return 2;
    }
    bool ok = for_each_zip(argv[1], argv[2], [](const std::string& zip, const std::string& dir) {
        if (unpack(zip.c_str(), dir)) return true;
        std::fprintf(stderr, "unpack_ref: %s failed\n", zip.c_str());
        return false;
    });
    return ok ? 0 : 1;
}
