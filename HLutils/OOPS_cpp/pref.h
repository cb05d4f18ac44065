// The installer's preferences file: "Zudezud Installer.prf" in the
// preferences folder, a versioned text file of "key value" lines.
//
// Its fields are what the application registers (pref_register_fields; the
// installer's register_preferences, first thing in main, before anything can
// save). IO_set writes and reads them in the table's order: numbers always,
// texts only when not empty. A text read (from the file or a --pref: option)
// goes through the field's own hook when it has one: the destination's keeps
// the default for an empty text and passes any other through as_dest_folder.
// The file is written under a temporary name and renamed over the old one by
// ouf_commit (xmap.h).
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <vector>

// Settings sets of IO_set; only the installer's is used.
constexpr int kPrefSetInstaller = 11;
// Directions.
constexpr int kPrefRead = 0;
constexpr int kPrefWrite = 1;
// Version of the preferences file.
constexpr int kPrefVersion = 9001;
// The option prefix that overrides a key for one run, --pref:key=value, is
// the command line's (UTL/UTL_cmdline.h).
// File name inside the preferences folder.
extern const char* const kPrefFileName;
// Suffix of the temporary file a save writes before it replaces the file.
extern const char* const kPrefTempSuffix;
// Said once, on stderr and in the log, when a read finds no home folder.
extern const char* const kPrefNoHomeLine;

// One setting of the preferences file, as the application registers it:
// a number or a text, under its key.
struct pref_field {
    const char* key;
    int* number;       // a number setting, or null
    std::string* text; // a text setting, or null; an empty text is not written
    // For a text: takes the value read (from the file or a --pref: option)
    // in place of storing it as it is; null stores it.
    void (*take)(const std::string& value);
};

// The application's settings (IO_set's set kPrefSetInstaller), in the
// file's order; registered at start-up before the file is read. The table
// must outlive every IO_set call. Without it the file holds its header only.
void pref_register_fields(const pref_field* fields, size_t count);

class pref_class
{
  public:
    // Reads (io 0) or writes (io 1) the settings set type.
    void IO_set(int type, int io);
    // Settings of another kind of set; none on this platform: returns 0.
    int IO_sta(int type, int io, std::string name);
};

// Reader-writer of one preferences file, alive for one IO_set call.
class scan_class
{
  public:
    int io;                                    // 0 read, 1 write
    std::map<std::string, std::string> values; // key -> value as read
    std::string write_path;                    // write mode: the file to replace
    std::vector<std::string> keys;             // every key written or fetched

    // An empty path reads no file: only the --pref: options answer.
    // user_part: the leading characters of path that name the user's own
    // folder (the home folder), which may hold any character.
    scan_class(const std::string& path, int io, size_t user_part = 0);
    ~scan_class();
    scan_class(const scan_class&) = delete;
    scan_class& operator=(const scan_class&) = delete;

    // Writes out under key, or fetches key's value (a --pref: option first,
    // then the file) into in. Read mode answers 1 when found, else 0.
    int fetch_or_get(const std::string& out, std::string& in, const std::string& key);
    int int_io(int* p, const std::string& key);
};

// After a read: one line on stderr for each --pref: option whose key is
// none of keys (it changed nothing).
void pref_report_unknown_options(const std::vector<std::string>& keys);

// Parses the body of a preferences file (after its header) into values:
// "key value" lines; a later line with the same key wins.
void pref_parse_body(const char* cursor, const char* end,
                     std::map<std::string, std::string>& values);
