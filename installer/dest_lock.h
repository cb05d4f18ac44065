// One installer at a time on a destination. Two would undo each other's
// work (one renames the folder while the other unpacks into it), so an
// advisory lock (flock) is held from the scan to the end of the
// installation on the destination folder itself: every spelling of its path
// and every user meet the same folder. Nothing is added to the user's
// installation, and the lock dies with its process.
//
// Another installer waits, reading and changing nothing there, and asks again
// once a second.
#pragma once

#include <string>

// Answers of dest_lock_take.
enum {
    kLockHeld = 0, // this process holds the destination's lock
    kLockBusy = 1, // another process holds it: change nothing there yet
    kLockNone = 2, // no folder to lock (not made yet, or not readable): go on without
};

// Takes the lock of dest, giving up one held for another folder first.
// Never waits: a busy lock is asked for again later.
int dest_lock_take(const std::string& dest);
// Gives up the lock held, if any.
void dest_lock_release();
// The destination whose lock is held, as it was spelled ("" when none).
const std::string& dest_lock_held();
