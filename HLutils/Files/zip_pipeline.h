// The write pipeline of large entries: two threads, kept for the rest of the
// process, write an entry's file and checksum its bytes while the extracting
// thread inflates them and publishes how far it got. When inflate ends the
// extracting thread does whatever they have not claimed, so it never waits
// for a sleeping worker. Between entries the workers sleep until the next one
// begins. One entry at a time, from one extracting thread.
// May call: POSIX threads, zlib's crc32, zip_write_all (zip_temps). Called
// by: the zip extraction (io_zip).
#pragma once

#include <zlib.h>

#include <cstddef>

// What became of one entry handed to the workers.
struct zip_workers_result {
    int write_err = 0; // the first failed write's errno, 0
    uLong crc = 0;     // the checksum of every byte published
};

// Starts the workers on first use; false when they cannot run (a thread did
// not start, or this is a forked child, which starts none): the entry is
// then done without them.
bool zip_workers_ready();
// A new entry, once zip_workers_ready: its bytes will be published in data,
// which stays until zip_workers_finish, and written to fd.
void zip_workers_begin(const char* data, int fd);
// Bytes [0, n) of the data are final. No system call.
void zip_workers_publish(size_t n);
// No more bytes come: what the workers have not claimed is written and
// checksummed on the calling thread.
zip_workers_result zip_workers_finish();
