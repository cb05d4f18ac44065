// Small text helpers shared by the whole program.
#pragma once

#include <string>

// Fixed-point text of value: digits places in all, decimals of them after the
// point, the integer field right-aligned with blanks. blank != 0 reserves a
// sign column for values that are not negative. Main thread only.
void flt_to_str(float value, std::string* out, int digits, int decimals, int blank);

// folder = path up to and including its last separating '/' (a trailing '/'
// of a path of three or more characters does not count); empty when none.
void get_path_with_path(std::string& folder, const std::string& path);
// 1 when the path names a folder: it ends in '/', or is empty (the base
// folder app_path itself); else 0.
int path_has_no_file(const std::string& path);

// Strict decimal parse of text typed by the user: an optional sign and 1..9
// digits. Anything else gives -1 (which is also the value of "-1").
int str_to_int(const std::string& text);
