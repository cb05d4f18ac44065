// Zip extraction on minizip. Archives come from the network: entry names and
// link targets are checked before anything is written, and each file is
// written under a temporary name and renamed into place only when complete.
// Archives of up to 6 MiB are read into memory as inflate goes and their
// entries inflated from there; from 64 KiB an entry's file is written and
// checksummed by two worker threads the process keeps (not in a forked
// child) while inflate runs. Larger archives are streamed in bounded chunks.
// One extraction at a time, on any thread: the kept buffers are shared.
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
