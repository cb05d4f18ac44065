#include "Files/io_utils.h"

#include <cerrno>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

#include "GenH/hl_types.h"

const char* sErrFile = "";
int sErrLine = -1;

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
