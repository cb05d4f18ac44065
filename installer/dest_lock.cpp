// The destination lock: flock on a descriptor of the destination folder.
#include "installer/dest_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "Files/io_utils.h"
#include "GenH/hl_types.h"

namespace
{
// The lock this installer holds, and what it has logged.
struct dest_lock_state {
    int fd = -1;      // the destination's descriptor, -1 when no lock is held
    std::string dest; // the destination as last asked for
    // The last reason no lock could be had, logged once.
    std::string logged_trouble;
};
dest_lock_state dest_lock;

void log_trouble(const std::string& what)
{
    if (what == dest_lock.logged_trouble) return;
    dest_lock.logged_trouble = what;
    xer << what << "\n" << std::flush;
}

bool same_folder(int a, int b)
{
    struct stat sa, sb;
    return fstat(a, &sa) == 0 && fstat(b, &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}
} // namespace

int dest_lock_take(const std::string& dest)
{
    // The folder itself, not its name: "x//dest/", "x/./dest/" or a path
    // through a link open the same one. Closed on exec, so that no program
    // started from here keeps it.
    const int fd = open(dest.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        const int err = errno;
        dest_lock_release();
        // A folder not made yet is locked once INSTALL makes it; a file in
        // its place is INSTALL's alert.
        if (err != ENOENT && err != ENOTDIR)
            log_trouble("I can not lock " + dest + " (" + error_str(err) +
                        "): two installers could work on one destination.");
        return kLockNone;
    }
    // Ours already: a second flock on another open of it would wait for us.
    if (dest_lock.fd >= 0 && same_folder(fd, dest_lock.fd)) {
        close(fd);
        dest_lock.dest = dest;
        return kLockHeld;
    }
    dest_lock_release();
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        close(fd);
        if (err == EWOULDBLOCK) return kLockBusy;
        log_trouble("I can not lock " + dest + " (" + error_str(err) +
                    "): two installers could work on one destination.");
        return kLockNone;
    }
    dest_lock.fd = fd;
    dest_lock.dest = dest;
    dest_lock.logged_trouble.clear();
    return kLockHeld;
}

void dest_lock_release()
{
    if (dest_lock.fd < 0) return;
    close(dest_lock.fd);
    dest_lock.fd = -1;
    dest_lock.dest.clear();
}

const std::string& dest_lock_held()
{
    return dest_lock.dest;
}
