// Mapped-file reader with the versioned file header, and its writing side
// ouf_open. Every data file is read through xmap_class; callers scan the
// body in place between cursor and end.
#pragma once

#include <string>

#include "Files/io_map.h" // kMaxFilePath, the mapping under the path rules

// Header forms of the versioned files (check_file / ouf_open "type").
constexpr int kFileBinary = 10000; // 'i'/'a' then a 32-bit version
constexpr int kFileText = 10001;   // "I"/"A" line, then "<version> version..."

// Directions of io_file_open.
constexpr int kXmapRead = 0;
constexpr int kXmapWrite = 1;

// Notice text that ouf_open leaves out of the version line.
extern const char* const kNoNotice; // "no-copyright-string"

// Scanning notions shared by every text data file.
inline bool xmap_is_blank(char c)
{
    return c == ' ' || c == '\t';
}
inline bool xmap_is_line_end(char c)
{
    return c == '\r' || c == '\n' || c == '\0';
}
inline bool xmap_is_white(char c)
{
    return xmap_is_blank(c) || xmap_is_line_end(c);
}

class xmap_class
{
  public:
    int swap;           // 1 when a binary header said 'a' (numbers byte-swapped)
    std::string name;   // shown by the bad-mode alert; left empty here
    int io_dir;         // 0 read, 1 write: set by io_file_open
    const char* start;  // first mapped byte; null while no file is open
    const char* cursor; // read position, start <= cursor <= end
    const char* end;    // one past the last byte
    int fd;             // open descriptor, 0 for none

    // user_part: see retry.
    explicit xmap_class(const std::string& path = std::string(), size_t user_part = 0);
    ~xmap_class();
    xmap_class(const xmap_class&) = delete;
    xmap_class& operator=(const xmap_class&) = delete;

    // Releases the current file and maps another; returns start (null when
    // the file cannot be opened or mapped). A '\\' or ':' in path is fatal,
    // except in its first user_part characters: a folder the user chose (the
    // destination), where Linux allows both.
    const char* retry(const std::string& path, size_t user_part = 0);

    // Checks the versioned header. versions ends with 0, type_word and rest
    // may be null. Returns the matched version or 0; on success the cursor
    // stands on the first non-white byte of the body.
    int check_file(int mode, const int* versions, const char* type_word, std::string* rest);

    // One call for either direction of a versioned file. io 1 opens the
    // shared writer ouf on path with the first of versions and returns
    // ouf_open's answer (1 open, 0 not); io 0 maps path and returns 1 when a
    // version of the list matched (the file stays mapped either way); any
    // other io returns 0. versions ends with 0.
    int io_file_open(int io, std::string path, int* versions, int type);
    // Closes ouf after io_file_open(1, ...); the mapping stays until the
    // reader goes.
    void io_file_close();
    // Copies len bytes from the cursor to the address dst and moves the
    // cursor past them; with swap set, reverses the bytes of each whole
    // 32-bit word copied. A length that is negative or runs past the end is
    // fatal ("Invalid read_n_rev read!").
    void read_n_rev(long dst, long len);
    // Logs the number and the text of the line at the cursor.
    void TXT_xer_line();

    // Scanning steps over [cursor, end).
    bool at_end() const { return cursor >= end; }
    void skip_blanks();
    void skip_to_line_end();
    void skip_white();
    // Decimal number up to the next blank or line end. Saturates at the int
    // limits instead of overflowing.
    int scan_int();
    // True (cursor after the word) when the word follows, ended by white
    // space or the end of the data; else the cursor stays where it was.
    bool match_word(const char* word);
    // Text up to the next blank or line end (cursor moves past it).
    std::string scan_word();
    // Text up to the next line end (cursor moves to the line end).
    std::string scan_to_line_end();

  private:
    void release();
};

// Opens the global stream ouf on app_path + path and writes the versioned
// header. Returns 1 when ouf is open and the header written, else 0 (after
// one folder creation and a second try, and a warning alert).
int ouf_open(std::string path, int type, int version, std::string notice);
// Ends a file written through ouf_open on the temporary name `temp` beside
// `path`: once every byte is known to be on the disk it is renamed over path,
// so a kill or a full disk leaves the old file whole. Returns 1 when path now
// holds the new file; else the temporary file is removed, a write that failed
// after the open gets ouf_open's warning, and 0 is returned.
int ouf_commit(std::string temp, std::string path);
