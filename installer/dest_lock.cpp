// The destination lock: flock on a file of the preferences folder.
#include "installer/dest_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "Files/io_utils.h"
#include "GenH/hl_types.h"
#include "installer/utils.h"

std::string dest_lock_folder;

namespace
{
int lock_fd = -1;
std::string held_dest, held_path;
// The last reason no lock could be had, logged once.
std::string logged_trouble;

void log_trouble(const std::string& what)
{
    if (what == logged_trouble) return;
    logged_trouble = what;
    xer << what << "\n" << std::flush;
}
} // namespace

std::string dest_lock_path(const std::string& dest)
{
    std::string folder = dest_lock_folder;
    if (folder.empty()) get_OS_abs_path(kOsDirPrefs, folder);
    if (folder.empty()) return "";
    if (folder.back() != '/') folder += '/';
    // FNV-1a: the name only has to tell destinations apart.
    std::uint64_t h = 14695981039346656037ull;
    for (unsigned char c : dest) {
        h ^= c;
        h *= 1099511628211ull;
    }
    char name[64];
    snprintf(name, sizeof name, "destination-%016" PRIx64 ".lock", h);
    return folder + name;
}

int dest_lock_take(const std::string& dest)
{
    if (lock_fd >= 0 && held_dest == dest) return kLockHeld;
    dest_lock_release();
    const std::string path = dest_lock_path(dest);
    if (path.empty()) {
        log_trouble("No preferences folder: two installers could work on one destination.");
        return kLockNone;
    }
    // A file another run removed while we waited for it would lock nothing:
    // the lock counts only on the file that is still there.
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0) {
            log_trouble("I can not make the lock file " + path + " (" + error_str(errno) +
                        "): two installers could work on one destination.");
            return kLockNone;
        }
        if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int err = errno;
            close(fd);
            if (err == EWOULDBLOCK) return kLockBusy;
            log_trouble("I can not lock " + path + " (" + error_str(err) +
                        "): two installers could work on one destination.");
            return kLockNone;
        }
        struct stat a, b;
        if (fstat(fd, &a) == 0 && stat(path.c_str(), &b) == 0 && a.st_dev == b.st_dev &&
            a.st_ino == b.st_ino) {
            // For a person who finds the file: whose it is and for what.
            const std::string note = std::to_string(getpid()) + "\t" + dest + "\n";
            // A courtesy: the lock holds without it.
            const bool noted = ftruncate(fd, 0) == 0 && pwrite(fd, note.data(), note.size(), 0) ==
                                                            static_cast<ssize_t>(note.size());
            (void)noted;
            lock_fd = fd;
            held_dest = dest;
            held_path = path;
            logged_trouble.clear();
            return kLockHeld;
        }
        close(fd);
    }
    return kLockBusy;
}

void dest_lock_release()
{
    if (lock_fd < 0) return;
    // Removed while still locked, so that nobody locks a file about to go.
    unlink(held_path.c_str());
    close(lock_fd);
    lock_fd = -1;
    held_dest.clear();
    held_path.clear();
}

const std::string& dest_lock_held()
{
    return held_dest;
}
