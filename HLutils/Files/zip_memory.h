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
#include <string>

// Entries of up to this size are taken from the archive in memory and
// inflated whole into a kept buffer; larger ones stream through minizip.
// With the archive's 6 MiB this bounds what the extraction keeps to 12 MiB.
constexpr size_t kZipWholeEntry = 6u << 20;
// The archive is read on in steps of this size, ahead of what is asked for.
constexpr size_t kZipReadStep = 256u << 10;

// Opens the archive at path from memory when it is a regular file of at most
// 6 MiB that can be read, else through minizip's own files (which then
// report what they find). Null when minizip cannot open it.
unzFile zip_memory_open(const std::string& path);
// Lets the archive go: its file is closed, the buffer kept for the next.
void zip_memory_close();

// Makes bytes [from, to) of the archive readable; false when some cannot be
// read (a file cut short or failing).
bool zip_memory_load(size_t from, size_t to);

// Where an entry's compressed bytes are in the archive in memory.
struct zip_memory_span {
    const char* from = nullptr; // the first byte; null: not taken from memory
    size_t at = 0;              // its offset in the archive
    size_t size = 0;            // how many there are
};
// The open entry of zip; from is null when the archive is not in memory or
// the entry is encrypted, larger than kZipWholeEntry, of another method or
// out of bounds. Its bytes may still need zip_memory_load.
zip_memory_span zip_memory_entry(unzFile zip, const unz_file_info& info);
