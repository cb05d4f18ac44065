// Mapped-file reader and versioned header.
//
// Index: scanning steps; retry (open and map); check_file; ouf_open.
#include "OOPS_cpp/xmap.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>
#include <utility>

#include "Files/io_map.h"
#include "Files/io_utils.h"
#include "GenH/hl_report.h"
#include "GenH/hl_string.h"
#include "GenH/hl_types.h"

const char* const kNoNotice = "no-copyright-string";

namespace
{

constexpr const char* kXmapSource = "HLutils/OOPS_cpp/xmap";

} // namespace

// ---------------------------------------------------------------------------
// [SECTION] Construction and release

xmap_class::xmap_class(const std::string& path, size_t user_part)
    : swap(0), io_dir(0), start(nullptr), cursor(nullptr), end(nullptr), fd(0)
{
    if (!path.empty()) retry(path, user_part);
}

xmap_class::~xmap_class()
{
    release();
}

void xmap_class::release()
{
    io_mapping m{start, end, fd};
    io_map_close(&m);
    fd = 0;
    start = cursor = end = nullptr;
}

const char* xmap_class::retry(const std::string& path, size_t user_part)
{
    io_mapping m{start, end, fd};
    io_map_open(&m, path, user_part);
    start = cursor = m.start;
    end = m.end;
    fd = m.fd;
    return start;
}

// ---------------------------------------------------------------------------
// [SECTION] Scanning steps

void xmap_class::skip_blanks()
{
    while (cursor < end && xmap_is_blank(*cursor))
        ++cursor;
}

void xmap_class::skip_to_line_end()
{
    while (cursor < end && !xmap_is_line_end(*cursor))
        ++cursor;
}

void xmap_class::skip_white()
{
    while (cursor < end && xmap_is_white(*cursor))
        ++cursor;
}

int xmap_class::scan_int()
{
    skip_blanks();
    bool negative = false;
    if (cursor < end && *cursor == '-') {
        negative = true;
        ++cursor;
        if (cursor >= end) return 0;
    }
    if (cursor < end && *cursor == '+') {
        negative = false;
        ++cursor;
    }
    // Every character up to the next blank or line end counts as a digit,
    // whatever it is. The value saturates so a long digit run cannot overflow.
    // The magnitude is held below 2^31 + 1, so -2147483648 still reads exactly.
    constexpr long long kBound = (long long)INT_MAX + 1;
    long long value = 0;
    bool saturated = false;
    while (cursor < end && !xmap_is_white(*cursor)) {
        if (!saturated) {
            value = value * 10 + ((unsigned char)*cursor - '0');
            if (value >= kBound || value <= -kBound) {
                value = value > 0 ? kBound : -kBound;
                saturated = true;
            }
        }
        ++cursor;
    }
    if (negative) value = -value;
    if (value > INT_MAX) value = INT_MAX;
    if (value < INT_MIN) value = INT_MIN;
    return (int)value;
}

bool xmap_class::match_word(const char* word)
{
    skip_blanks();
    const char* mark = cursor;
    size_t n = std::strlen(word);
    if ((size_t)(end - cursor) >= n && std::memcmp(cursor, word, n) == 0 &&
        (cursor + n == end || xmap_is_white(cursor[n]))) {
        cursor += n;
        return true;
    }
    cursor = mark;
    return false;
}

std::string xmap_class::scan_word()
{
    const char* from = cursor;
    while (cursor < end && !xmap_is_white(*cursor))
        ++cursor;
    return std::string(from, (size_t)(cursor - from));
}

std::string xmap_class::scan_to_line_end()
{
    const char* from = cursor;
    skip_to_line_end();
    return std::string(from, (size_t)(cursor - from));
}

// ---------------------------------------------------------------------------
// [SECTION] Versioned header

int xmap_class::check_file(int mode, const int* versions, const char* type_word, std::string* rest)
{
    if (mode != kFileBinary && mode != kFileText) {
        __VOVARU_alert(0, "Bad check_file type!", name, "", "", t_exit, kXmapSource, __LINE__);
        return 0;
    }
    if (!start || start == end) return 0;
    cursor = start;

    int version = 0;
    if (mode == kFileBinary) {
        char letter = *cursor++;
        if (letter == 'a')
            swap = 1;
        else if (letter == 'i')
            swap = 0;
        else
            return 0;
        unsigned char b[4] = {0, 0, 0, 0};
        size_t have = (size_t)(end - cursor);
        if (have > 4) have = 4;
        std::memcpy(b, cursor, have);
        uint32_t v;
        std::memcpy(&v, b, 4);
        if (swap) v = __builtin_bswap32(v);
        version = (int)v;
        cursor += have;
    } else {
        char letter = *cursor;
        skip_to_line_end();
        skip_white();
        if (letter != 'A' && letter != 'I') return 0;
        version = scan_int();
        skip_blanks();
        std::string tail = scan_to_line_end();
        if (rest) *rest = tail;
        skip_white();
    }

    bool known = false;
    for (const int* v = versions; v && *v != 0; ++v)
        if (*v == version) known = true;
    if (!known) return 0;

    if (type_word) {
        if (!match_word(type_word)) return 0;
        skip_blanks();
        skip_to_line_end();
        skip_white();
    }
    return version;
}

// ---------------------------------------------------------------------------
// [SECTION] Either direction, word reads, line report

int xmap_class::io_file_open(int io, std::string path, int* versions, int type)
{
    io_dir = io;
    if (io == kXmapWrite) return ouf_open(path, type, versions ? versions[0] : 0, kNoNotice);
    if (io != kXmapRead || !retry(path)) return 0;
    return check_file(type, versions, nullptr, nullptr) != 0;
}

void xmap_class::io_file_close()
{
    if (io_dir == kXmapWrite) ouf.close();
}

void xmap_class::read_n_rev(long dst, long len)
{
    // Compared as lengths, never as pointers: cursor + len could wrap.
    if (len < 0 || len > end - cursor) {
        __VOVARU_alert(0, "Invalid read_n_rev read!", "", "", "", t_exit, kXmapSource, __LINE__);
        return;
    }
    if (len == 0) return;
    unsigned char* out = reinterpret_cast<unsigned char*>(dst);
    std::memcpy(out, cursor, (size_t)len);
    cursor += len;
    if (!swap) return;
    for (long w = 0; w + 4 <= len; w += 4) {
        std::swap(out[w], out[w + 3]);
        std::swap(out[w + 1], out[w + 2]);
    }
}

void xmap_class::TXT_xer_line()
{
    // CR, LF and CR LF files all number from 1: each kind of line end is
    // counted on its own and the greater count wins.
    long cr = 1, lf = 1;
    const char* from = start;
    for (const char* p = start; p < cursor; ++p) {
        if (*p == '\r') ++cr;
        if (*p == '\n') ++lf;
        if (*p == '\r' || *p == '\n') from = p + 1;
    }
    const char* to = cursor;
    while (to < end && *to != '\r' && *to != '\n')
        ++to;
    xer << (cr > lf ? cr : lf) << " \"" << std::string(from, to) << "\"\n";
    xer.flush();
}

// ---------------------------------------------------------------------------
// [SECTION] Writing side

namespace
{
std::string ouf_full_path(const std::string& path)
{
    std::string full = app_path + path;
    // Data files carry lower-case extensions: the last three letters are
    // lowered whether or not they follow a dot.
    if (full.size() > 3)
        for (size_t i = full.size() - 3; i < full.size(); ++i)
            if (full[i] >= 'A' && full[i] <= 'Z') full[i] = (char)(full[i] - 'A' + 'a');
    return full;
}

void alert_not_saved(const std::string& full, int line)
{
    __VOVARU_alert(0,
                   "I could not save the file! Could the directory that the file sits in be "
                   "missing? Or flagged as READ-ONLY by the operating system? (Windows machines "
                   "typically do this).",
                   full,
                   "Could the file be flagged as read-only? This happens in Windows if you copy "
                   "it from a CD!",
                   "Try putting this app in the background and then flag the file as NOT "
                   "read-only, or creating the folder listed in the path above.",
                   t_alert, kXmapSource, line);
}

// The written bytes on the disk before the name points at them.
int sync_file(const std::string& full)
{
    const int fd = ::open(full.c_str(), O_RDONLY);
    if (fd < 0) return errno;
    const int err = ::fsync(fd) != 0 ? errno : 0;
    ::close(fd);
    return err;
}
} // namespace

int ouf_open(std::string path, int type, int version, std::string notice)
{
    if (type != kFileBinary && type != kFileText) {
        __VOVARU_alert(0, "Bad ouf_open type!", path, "", "", t_exit, kXmapSource, __LINE__);
        return 0;
    }
    const std::string full = ouf_full_path(path);
    if ((int)full.size() > kMaxFilePath)
        __VOVARU_alert(0, "String too long!", full, "", "", t_exit, kXmapSource, __LINE__);

    for (int attempt = 0; attempt < 2; ++attempt) {
        ouf.clear();
        ouf.close();
        ouf.clear();
        if (type == kFileBinary) {
            ouf.open(full, std::ios::out | std::ios::binary | std::ios::trunc);
            unsigned char head[5] = {'i', 0, 0, 0, 0};
            uint32_t v = (uint32_t)version;
            for (int i = 0; i < 4; ++i)
                head[1 + i] = (unsigned char)(v >> (8 * i));
            ouf.write(reinterpret_cast<const char*>(head), 5);
        } else {
            ouf.open(full, std::ios::out | std::ios::trunc);
            ouf.setf(std::ios::fixed, std::ios::floatfield);
            ouf << "I\n" << version << " version";
            if (notice != kNoNotice) ouf << notice;
            ouf << "\n";
        }
        if (ouf.good()) return 1;
        if (attempt == 0) {
            std::string folder;
            get_path_with_path(folder, full);
            make_folder(folder);
        }
    }
    ouf.close();
    alert_not_saved(full, __LINE__);
    return 0;
}

int ouf_commit(std::string temp, std::string path)
{
    const std::string from = ouf_full_path(temp), to = ouf_full_path(path);
    // ouf_open has already told the user when the file could not be opened.
    const bool was_open = ouf.is_open();
    ouf.flush();
    bool ok = was_open && ouf.good();
    ouf.close();
    ok = ok && !ouf.fail() && sync_file(from) == 0 && std::rename(from.c_str(), to.c_str()) == 0;
    ouf.clear();
    if (ok) return 1;
    std::remove(from.c_str()); // the old file stays whole
    if (was_open) alert_not_saved(to, __LINE__);
    return 0;
}
