// Confinement of what an archive names: entry names and link targets may not
// lead out of the extraction's root, by "..", by an absolute path, or through
// a link. Plain checks over the names and over the links already on disk
// (lstat, readlink): nothing here creates, writes or logs anything.
// May call: POSIX lstat and readlink. Called by: the zip extraction (io_zip).
#pragma once

#include <cerrno>
#include <cstddef>
#include <set>
#include <string>
#include <vector>

// Refused entries, reported with errno values that have a user text.
constexpr int kErrZipUnsafeName = EPERM;         // absolute, "..", through or to a link outside
constexpr int kErrZipBadName = EINVAL;           // empty name, or one naming the folder itself
constexpr int kErrZipNameTooLong = ENAMETOOLONG; // does not fit the 256-byte name buffer

// Size of the entry-name buffer: names up to 255 bytes.
constexpr int kZipNameBuf = 256;

// A link target longer than this cannot be a path.
constexpr size_t kZipMaxLinkTarget = 4096;

// The folder one extraction may not leave, and what it made there.
struct zip_confinement {
    std::string root;              // nothing may leave this folder; ends in '/'
    std::vector<std::string> base; // the target folder below root, one name each
    std::set<std::string> links;   // links this extraction made (as zip_safe_target gave them)
};

// Sets c up for extracting into folder below root (both end in '/'): false
// when folder is not inside root.
bool zip_confine(const std::string& root, const std::string& folder, zip_confinement* c);

// What an entry name stands for: a folder's ends in '/'.
enum class zip_name_kind { file, folder };

// Checks an entry's name before anything is created: it must stay below the
// target folder and must not name the folder itself. 0, kErrZipBadName,
// kErrZipNameTooLong or kErrZipUnsafeName.
int zip_check_entry_name(const std::string& rel, zip_name_kind kind);

// Where the entry named rel may be written: its folder must be reached
// without leaving the root or passing a link made by an earlier entry. out
// gets the path to write (through links already on disk).
int zip_safe_target(const zip_confinement& c, const std::string& rel, std::string* out);

// A link at path (as zip_safe_target gave it) may point only inside the root.
int zip_check_link_target(const zip_confinement& c, const std::string& path,
                          const std::string& target);
