// The archive in memory: an archive of up to 6 MiB is read into a buffer the
// process keeps, as the extraction goes, and minizip is given file functions
// over that memory (its own make dozens of small reads and seeks per
// archive). An entry's compressed bytes are then inflated straight from the
// buffer. One archive at a time.
// May call: POSIX files, minizip's file-function interface. Called by: the
// zip extraction (io_zip), on the extracting thread only.
#pragma once

#include <minizip/unzip.h>

#include <cstddef>
#include <memory>
#include <string>

// Entries of up to this size are taken from the archive in memory and
// inflated whole into a kept buffer; larger ones stream through minizip.
// With the archive's 6 MiB this bounds what the extraction keeps to 12 MiB.
constexpr size_t kZipWholeEntry = 6u << 20;
// The archive is read on in steps of this size, ahead of what is asked for.
constexpr size_t kZipReadStep = 256u << 10;

// An archive of up to 6 MiB, read into a kept buffer as the extraction goes:
// its last 128 KiB (the directory minizip reads first) at once, the rest from
// the start on as it is needed. Inflate thus starts on an entry while most of
// it is still unread, and the workers write an incompressible entry while the
// rest of it is being read. The extraction's context holds the one in use.
struct zip_memory_archive {
    std::unique_ptr<char[]> data; // reserved at its largest on first use, then kept
    int fd = -1;                  // open while the archive is extracted: it is this one
    size_t size = 0;              // the archive's size
    size_t head = 0;              // bytes [0, head) are read
    size_t tail = 0;              // bytes [tail, size) are read
    size_t pos = 0;               // minizip's position
};

// Opens the archive at path from memory when it is a regular file of at most
// 6 MiB that can be read, else through minizip's own files (which then
// report what they find). Null when minizip cannot open it. m must outlive
// the archive's handle.
unzFile zip_memory_open(zip_memory_archive& m, const std::string& path);
// Lets the archive go: its file is closed, the buffer kept for the next.
void zip_memory_close(zip_memory_archive& m);

// Makes bytes [from, to) of the archive readable; false when some cannot be
// read (a file cut short or failing).
bool zip_memory_load(zip_memory_archive& m, size_t from, size_t to);

// Where an entry's compressed bytes are in the archive in memory.
struct zip_memory_span {
    const char* from = nullptr; // the first byte; null: not taken from memory
    size_t at = 0;              // its offset in the archive
    size_t size = 0;            // how many there are
};
// The open entry of zip; from is null when the archive is not in memory or
// the entry is encrypted, larger than kZipWholeEntry, of another method or
// out of bounds. Its bytes may still need zip_memory_load.
zip_memory_span zip_memory_entry(const zip_memory_archive& m, unzFile zip,
                                 const unz_file_info& info);
