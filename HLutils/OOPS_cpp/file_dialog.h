// The fixed parts of the open and save picker (stand_io_dialog): window
// background, folder panel and, in the open picker, a preview of the
// selected aircraft (four texts of its head and its icon) or FDR file (its
// comment). What was read is kept until the selection changes.
#pragma once

#include <string>

// Bytes after an aircraft file's header that the preview keeps.
constexpr int kAcfHeadBytes = 2092;
// The texts the aircraft preview shows.
constexpr int kAcfHeadTexts = 4;

// Draws the picker's background and panels, and the preview for file types
// 3 (aircraft) and 8 (FDR) in the open picker (open_save 998). path is the
// selected entry relative to the base folder, or "-" for none.
void stand_io_dialog(int open_save, int file_type, std::string path);

// What the dialog keeps between calls.
struct stand_io_state {
    std::string old_path; // the path previewed last (open picker)
    unsigned char top_of_veh[kAcfHeadBytes];
    int has_tex;         // slot of the loaded icon, 0 for none
    std::string comment; // the FDR comment
};
const stand_io_state& stand_io_dialog_state();

// The reading steps, for tests.
// 1 when the mapped-file reader takes path as it is: no '\' or ':' (Linux
// allows both in names, the reader refuses them) and not too long.
int stand_io_path_readable(const std::string& path);
// Fills block with the aircraft head (zeros when the file is missing,
// refused, unreadable or too short); 1 when it was read.
int stand_io_read_head(const std::string& path, unsigned char block[kAcfHeadBytes]);
// Text i (0..3, in drawing order) of a head block, up to its first zero
// byte and never past the block.
std::string stand_io_head_text(const unsigned char block[kAcfHeadBytes], int i);
// The icon beside an aircraft file: "x.acf" gives "x_icon.png".
std::string stand_io_icon_name(const std::string& path);
// The comment of an FDR file (its first "COMM" record), "" for none.
std::string stand_io_read_comment(const std::string& path);
