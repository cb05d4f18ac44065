// Menu files.
//
// After the version-1 text header, blocks follow one after the other:
//
//   0 File          header: parent code, blanks, title (0: a title of the bar;
//   100 Open                else menu * 300 + item of the item it hangs from)
//   0 -             items: id, blanks, text ('-' separator, '=' not pickable)
//   101 Quit
//   -               a line of exactly "-" closes the block
//
// Leading blanks and tabs and empty lines count for nothing; trailing blanks
// belong to the line. The number ends at the first blank (not at a tab).
#include "GenC/hl_menu_file.h"

#include "GenC/hl_alert.h"
#include "GenC/hl_menu_edit.h"
#include "GenH/hl_string.h"
#include "GenH/hl_types.h"
#include "OOPS_cpp/xmap.h"

namespace
{
const char* const kSourceFile = "HLutils/GenC/hl_menu_file";

// Folders of the languages, by mnw.lang.
const char* const kLanguageFolders[] = {
    "menus/english/", "menus/french/",    "menus/german/", "menus/italian/",
    "menus/spanish/", "menus/portugese/", "menus/korean/",
};

const char* language_folder(int lang)
{
    const int n = static_cast<int>(sizeof kLanguageFolders / sizeof kLanguageFolders[0]);
    return lang >= 0 && lang < n ? kLanguageFolders[lang] : "";
}

// The next line without its leading blanks; "" only at the end of the data.
std::string next_line(xmap_class& in)
{
    in.skip_blanks();
    std::string line = in.scan_to_line_end();
    in.skip_white();
    return line;
}

// "<number> <text>": the number up to the first blank, the text after the
// blanks that follow it. A line without a blank is all number.
void split_line(const std::string& line, int* number, std::string* text)
{
    size_t blank = line.find(' ');
    if (blank == std::string::npos) blank = line.size();
    *number = str_to_int(line.substr(0, blank));
    const size_t from = line.find_first_not_of(' ', blank);
    *text = from == std::string::npos ? std::string() : line.substr(from);
}

int code_digit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c == '+') return 1;
    if (c == '-') return -1;
    return 0;
}

constexpr int kCodeTokenMax = 3; // a fourth character starts the next code
constexpr int kCodeBase = 127;   // both bytes of a code lie from 1 to 127
} // namespace

void char_string_to_int_string(std::string* text)
{
    const std::string& in = *text;
    if (in.empty() || in[0] == '-' || in[0] == '=') return;
    std::string out;
    size_t i = 0;
    for (;;) {
        while (i < in.size() && in[i] == ' ')
            ++i;
        if (i >= in.size()) break;
        int value = 0;
        for (int n = 0; n < kCodeTokenMax && i < in.size() && in[i] != ' '; ++n, ++i)
            value = value * 10 + code_digit(in[i]);
        if (value < 0) continue;
        out += static_cast<char>(value / kCodeBase + 1);
        out += static_cast<char>(value % kCodeBase + 1);
    }
    *text = out;
}

void VOVARU_read_menus(std::string folder, std::string file)
{
    const std::string path = folder + language_folder(mnw.lang) + file;
    xmap_class in(path);
    static const int kVersions[] = {1, 0};
    if (!in.start || in.check_file(kFileText, kVersions, nullptr, nullptr) != 1) {
        __VOVARU_alert(0, "Cannot open file!", app_path + path,
                       "Trash this copy and re-install Zudezud.", "", t_exit, kSourceFile,
                       __LINE__);
        return;
    }

    const bool korean = mnw.lang == kMenuLangKorean;
    int number = 0;
    std::string text;
    for (int m = 0;; ++m) {
        std::string line = next_line(in);
        if (line.empty()) return;
        split_line(line, &number, &text);
        if (korean) char_string_to_int_string(&text);
        VOVARU_create_menu(m, number, text);
        for (int k = 0;; ++k) {
            line = next_line(in);
            if (line.empty()) return; // the data ended inside the block: keep its items
            if (line == "-") break;
            split_line(line, &number, &text);
            if (korean) char_string_to_int_string(&text);
            VOVARU_append_menu(m, k, number, text, 0);
        }
    }
}
