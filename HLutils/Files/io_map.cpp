// Opening and mapping a file under the path rules.
#include "Files/io_map.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "Files/case_desens.h"
#include "GenH/hl_report.h"
#include "GenH/hl_types.h"

namespace
{

constexpr const char* kIoMapSource = "HLutils/Files/io_map";

// An empty file opens with start == end; this gives start a non-null home.
const char kEmptyData[1] = {0};

void check_path_or_die(const std::string& path, size_t user_part, const std::string& full)
{
    for (size_t i = user_part; i < path.size(); ++i) {
        char c = path[i];
        if (c == '\\' || c == ':') {
            __VOVARU_alert(0, "OOPS!", "I got a bad dirchar! I only want '/'!",
                           "The path in question is:", path, t_exit, kIoMapSource, __LINE__);
            return;
        }
    }
    if ((int)full.size() > kMaxFilePath)
        __VOVARU_alert(0, "String too long!", full, "", "", t_exit, kIoMapSource, __LINE__);
}

} // namespace

const char* io_map_open(io_mapping* m, const std::string& path, size_t user_part)
{
    if (!app_path.empty() && path.find(app_path) != std::string::npos)
        __VOVARU_alert(0, "retry: We are getting a file string that is not Didozuroz relative!",
                       "This is illegal! All paths must be Didozuroz relative!",
                       "The path in question is:", path, t_exit, kIoMapSource, __LINE__);
    std::string full = app_path + path;
    check_path_or_die(path, user_part, full);

    char buf[kMaxFilePath + 1];
    std::strncpy(buf, full.c_str(), sizeof(buf) - 1);
    buf[sizeof(buf) - 1] = 0;
    if (g_case_sensitive) findPath(buf);

    io_map_close(m);

    // Non-blocking so a FIFO cannot hang the open; only regular files are
    // read (a folder would map as a huge bogus size and raise an alert).
    int f = open(buf, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (f < 0) return nullptr;
    struct stat st;
    if (fstat(f, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(f);
        return nullptr;
    }
    m->fd = f;

    // A regular file's size is its end: no seeks needed.
    const off_t size = st.st_size;
    if (size == 0) {
        m->start = m->end = kEmptyData;
        return m->start;
    }
    void* p = mmap(nullptr, (size_t)size, PROT_READ, MAP_PRIVATE, m->fd, 0);
    const int err = errno;
    if (p == MAP_FAILED) {
        xer << "Mem file error.  Err=" << err << ", file=" << buf << "\n";
        if (err == ENOMEM)
            __VOVARU_alert(0, "mmap() out of memory", "", "", "", t_alert, kIoMapSource, __LINE__);
        return nullptr;
    }
    if (p == nullptr) {
        __VOVARU_alert(0, "mmap() returned null", "", "", "", t_alert, kIoMapSource, __LINE__);
        return nullptr;
    }
    // Readers go front to back once: ask for aggressive read-ahead.
    madvise(p, (size_t)size, MADV_SEQUENTIAL);
    m->start = static_cast<const char*>(p);
    m->end = m->start + size;
    return m->start;
}

void io_map_close(io_mapping* m)
{
    if (m->start && m->end > m->start)
        munmap(const_cast<char*>(m->start), (size_t)(m->end - m->start));
    if (m->fd != 0) close(m->fd);
    *m = io_mapping{};
}
