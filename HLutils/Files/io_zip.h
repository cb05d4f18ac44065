// Zip extraction on minizip. Archives come from the network: entry names and
// link targets are checked before anything is written, and each file is
// written under a temporary name and renamed into place only when complete.
// Archives of up to 6 MiB are read into memory as inflate goes and their
// entries inflated from there; from 64 KiB an entry's file is written and
// checksummed by two worker threads the process keeps (not in a forked
// child) while inflate runs. Larger archives are streamed in bounded chunks.
// One extraction at a time, on any thread: what an extraction keeps for the
// next (the inflater, the entry and chunk buffers, the archive in memory) is
// one record of the process, zip_extraction_context in io_zip.cpp.
//
// The extraction is five files: this one (zip_to_file's loop, an entry's
// routes, the place of the last failure in the extraction's own record),
// zip_paths, zip_memory, zip_pipeline and zip_temps. The headers of the other
// four are the extraction's own; everyone else includes this one. Its log lines
// go to the stream the extracting thread names with zip_log_to (the log by
// default); the failure place is named in them (". file =
// HLutils/Files/io_utils line = ..."), and sErrFile/sErrLine stay the file
// operations' and the zip writer's.
//
// Entries are written under a hidden temporary name beside their target
// (".zdz_" and eight of [a-z0-9]) and renamed into place; the directory scan
// removes such names a dead run left in the folders it signs
// (zip_remove_stale_temps), and nothing else does.
//
// An entry in memory below 64 KiB (or any, in a forked child) is inflated in
// one zlib call and written with one write; from 64 KiB it is inflated in
// steps while zip_pipeline writes it (a stored entry is handed over as it is
// read); any other entry streams through minizip and a 256 KiB buffer.
// Anything wrong with an entry taken from memory (data, size, checksum) sends
// it through minizip's streamed reading, which reports the exact code.
#pragma once

#include <cerrno>
#include <iosfwd>
#include <string>

#include "Files/io_utils.h"  // kErrZipOpen (20001), kErrZipRead (20002)
#include "Files/zip_paths.h" // the refused names' codes, kZipNameBuf
#include "Files/zip_temps.h" // the temporary names

// A failed symbolic link or time setting.
constexpr int kErrZipLinkOrTime = -1;

// Extracts every entry of app_path + archive into app_path + folder (which
// ends in '/'). name, when not null, gets the first entry's stored name;
// use_name extracts the first entry as folder + *name. Returns 0 or the code
// of the first failure.
// root (ends in '/'; empty: folder itself) is the folder no entry and no link
// target may leave; folder must lie inside it. An installation passes its
// destination, so a release may link between its own folders.
int zip_to_file(std::string archive, std::string folder, std::string* name, int use_name,
                const std::string& root = std::string());

// The stream the calling thread's extractions write their log lines to
// (null, the default: the log). A thread other than the main one passes its
// own, and the main thread writes it to the log when the extraction is over.
void zip_log_to(std::ostream* sink);
