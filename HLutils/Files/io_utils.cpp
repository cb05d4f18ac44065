#include "Files/io_utils.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "Files/case_desens.h"
#include "GenH/hl_report.h"
#include "GenH/hl_types.h"

thread_local const char* sErrFile = "";
thread_local int sErrLine = -1;

// Searched top to bottom; the texts are shown to users as they stand.
const err_msg_row kErrMsgs[] = {
    {kErrZipOpen, "We were unable to open a zip file. It may be missing or damaged"},
    {kErrZipRead, "We were unable to read from a zip file. It may be missing or damaged"},
    {kErrZipCreate, "We were unable to create a zip file"},
    {kErrZipWrite, "We were unable to write to a zip file. It may be missing or damaged"},
    {kErrZipForkTooBig, "We cannot compress a zip file because its source file resource fork is "
                        "more than 2 GB. The source file is probably damaged"},
    {kErrFileOpenRead, "We could not open a file to read from it"},
    {kErrNetReconnect,
     "We were unable to connct to the network due to an internal reconnect error"},
    {kErrNetBadState, "We wre unable to connect to the network due to a bad state error"},
    {kErrNetAlloc, "We could not allocate a connection to the network"},
    {kErrNetWriteFile, "We could not write the incoming file from the web to disk"},
    {kErrNetNoServer, "We could not find the server over the network"},
    {kErrZipCorrupt,
     "Part of the downloaded zip file is corrupted (the resource fork header is bad)"},
    {EAGAIN, "Resource temporarily unavailable"},
    {EDEADLK, "Resource deadlock avoided"},
    {ENAMETOOLONG, "File name too long"},
    {ENOSYS, "Function not implemented"},
    {ENOTEMPTY, "Directory not empty"},
    {EILSEQ, "Wide character encoding error"},
    {E2BIG, "Argument list too long"},
    {EACCES, "Permission denied. Perhaps you do not have access to a directory or file system"},
    {EBADF, "Bad file descriptor"},
    {EBUSY, "Device busy"},
    {ECHILD, "No child processes"},
    {EDOM, "Numerical argument out of domain"},
    {EEXIST, "File exists"},
    {EFAULT, "Bad address"},
    {EFBIG, "File too large"},
    {EINTR, "Interrupted system call"},
    {EINVAL, "Invalid argument"},
    {EIO, "Input/output error"},
    {EISDIR, "Is a directory"},
    {EMFILE, "Too many open files"},
    {EMLINK, "Too many links"},
    {ENFILE, "Too many open files in system"},
    {ENODEV, "Operation not supported by device"},
    {ENOENT, "No such file or directory"},
    {ENOEXEC, "Exec format error"},
    {ENOLCK, "No locks available"},
    {ENOMEM, "Out of memory"},
    {ENOSPC, "No space left on device. Perhaps your hard drive is full"},
    {ENOTDIR, "Not a directory"},
    {ENOTTY, "Inappropriate ioctl for device"},
    {ENXIO, "Device not configured"},
    {EPERM,
     "Operation not permitted. Perhaps you do not have access to a directory or file system"},
    {EPIPE, "Broken pipe"},
    {ERANGE, "Result too large"},
    {EROFS, "The destination file system is read-only"},
    {ESPIPE, "Illegal seek"},
    {ESRCH, "No such process"},
    {EXDEV, "Cross-device link"},
    {0, nullptr},
};

std::string error_str(int code)
{
    for (const err_msg_row* row = kErrMsgs; row->text != nullptr; row++)
        if (row->code == code) return row->text;
    static char fallback[256];
    std::snprintf(fallback, sizeof fallback, "Unknown error occurred (%d)", code);
    return fallback;
}

int show_del_err(int err)
{
    return 0;
}

int show_make_dir_err(int err)
{
    return err != 0 && err != EEXIST;
}

int make_folder(const std::string& path)
{
    std::string p = path;
    if (!p.empty() && p.back() == '/') p.pop_back();
    if (mkdir(p.c_str(), 0755) != 0) {
        const int err = errno;
        io_note_failure(__LINE__);
        return err;
    }
    return 0;
}

int delete_file(std::string path)
{
    std::string p = app_path + path;
    if (p.empty()) return ENOENT;
    int rc;
    if (p.back() == '/') {
        p.pop_back();
        rc = rmdir(p.c_str());
    } else {
        rc = unlink(p.c_str());
    }
    if (rc != 0) {
        const int err = errno;
        io_note_failure(__LINE__);
        return err;
    }
    return 0;
}

int rename_file(const std::string& folder, const std::string& from, const std::string& to)
{
    const std::string a = folder + from;
    const std::string b = folder + to;
    if (std::rename(a.c_str(), b.c_str()) != 0) {
        const int err = errno;
        io_note_failure(__LINE__);
        return err;
    }
    return 0;
}

// ---------------------------------------------------------------------------
// [SECTION] Existence tests

namespace
{

// Paths are repaired in a buffer of this many bytes, the final 0 included.
constexpr int kPathBuffer = 500;
// Origin named by the too-long alert: the string routines.
constexpr const char* kStringSource = "HLutils/GenH/hl_string";

// full as the file system spells it. A path that does not fit the repair
// buffer is fatal.
std::string repaired(const std::string& full)
{
    if (!g_case_sensitive) return full;
    if ((int)full.size() >= kPathBuffer) {
        __VOVARU_alert(0, "String too long!", full, "", "", t_exit, kStringSource, __LINE__);
        return full;
    }
    char buf[kPathBuffer];
    std::memcpy(buf, full.c_str(), full.size() + 1);
    findPath(buf);
    return buf;
}

} // namespace

bool dir_exists(std::string path)
{
    std::string full = app_path + path;
    // "/" itself keeps its slash: dropping it would leave no path at all.
    if (full.size() > 1 && full.back() == '/') full.pop_back();
    struct stat st;
    return stat(repaired(full).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool file_exists(std::string path)
{
    struct stat st;
    return stat(repaired(app_path + path).c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

// ---------------------------------------------------------------------------
// [SECTION] Starting another program

int launch_app(const std::string& app, const std::string& arg)
{
    std::string full = app;
    if (!full.empty() && full.back() == '/') full.pop_back();
    full = app_path + full;
    xer << "Launching: " << full << " with " << arg << "\n";

    // Everything the child needs is made before the fork: between fork and
    // exec a threaded program may only make async-signal-safe calls.
    std::string path_flag = "-path";
    std::string arg_copy = arg;
    std::vector<char*> argv = {&full[0]};
    if (!arg.empty()) {
        argv.push_back(&path_flag[0]);
        argv.push_back(&arg_copy[0]);
    }
    argv.push_back(nullptr);

    // The child reports a failed exec through this pipe; a successful exec
    // closes it (close-on-exec), and the parent reads end of file.
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) {
        const int err = errno;
        io_note_failure(__LINE__);
        return err;
    }
    xer.flush();
    const pid_t pid = fork();
    if (pid < 0) {
        const int err = errno;
        close(report[0]);
        close(report[1]);
        io_note_failure(__LINE__);
        return err;
    }
    if (pid == 0) {
        close(report[0]);
        execv(argv[0], argv.data());
        int err = errno;
        ssize_t sent = write(report[1], &err, sizeof err);
        (void)sent;
        _exit(err);
    }
    close(report[1]);
    int child_err = 0;
    ssize_t got;
    do {
        got = read(report[0], &child_err, sizeof child_err);
    } while (got < 0 && errno == EINTR);
    close(report[0]);
    if (got == (ssize_t)sizeof child_err) {
        waitpid(pid, nullptr, 0);
        io_note_failure(__LINE__);
        return child_err;
    }
    if (VOVARU_shell().finish) VOVARU_shell().finish(1);
    std::exit(1);
}

// ---------------------------------------------------------------------------
// [SECTION] Windows executables

namespace
{

// Layout of a PE file (Microsoft PE/COFF format): the DOS header,
// the offset of the PE signature at byte 60 of it, and the file header after
// the signature, with the characteristics word 22 bytes after its start.
constexpr size_t kDosHeaderSize = 64;
constexpr size_t kPeOffsetAt = 60;
constexpr size_t kPeHeadSize = 24; // signature and file header
constexpr size_t kCharacteristicsAt = 22;
constexpr unsigned kLargeAddressAware = 0x0020;
// A read or write that came short.
constexpr int kShortIo = EIO;

unsigned get_le16(const unsigned char* p)
{
    return p[0] | (unsigned)p[1] << 8;
}
uint32_t get_le32(const unsigned char* p)
{
    return get_le16(p) | (uint32_t)get_le16(p + 2) << 16;
}

// Everything but the final close; f stays open for the caller.
int patch_large_address(FILE* f)
{
    unsigned char dos[kDosHeaderSize];
    if (std::fread(dos, 1, sizeof dos, f) != sizeof dos) return kShortIo;
    if (get_le16(dos) != 0x5A4D) return kErrNotExeMZ;
    const long pe_at = (long)get_le32(dos + kPeOffsetAt);
    if (std::fseek(f, pe_at, SEEK_SET) != 0) return errno;
    unsigned char pe[kPeHeadSize];
    if (std::fread(pe, 1, sizeof pe, f) != sizeof pe) return kShortIo;
    if (std::memcmp(pe, "PE\0\0", 4) != 0) return kErrNotExePE;
    pe[kCharacteristicsAt] |= (unsigned char)kLargeAddressAware;
    if (std::fseek(f, pe_at, SEEK_SET) != 0) return errno;
    if (std::fwrite(pe, 1, sizeof pe, f) != sizeof pe) return kShortIo;
    return 0;
}

} // namespace

int make_file_large_address_aware(std::string path)
{
    FILE* f = std::fopen(path.c_str(), "r+b");
    if (!f) return errno;
    int err = patch_large_address(f);
    // The write is buffered: only the close shows whether it reached the file.
    if (std::fclose(f) != 0 && err == 0) err = errno;
    return err;
}
