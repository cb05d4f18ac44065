// Scanning of the installer's text lists from bytes already in memory, with
// the notions of the versioned text files: a blank is a space or a tab, a
// line end is CR, LF or NUL, white space is either.
#pragma once

#include <string>

#include "OOPS_cpp/xmap.h"

struct text_scan {
    const char* cur;
    const char* end;

    bool at_end() const { return cur >= end; }
    void skip_blanks()
    {
        while (cur < end && xmap_is_blank(*cur))
            ++cur;
    }
    void skip_to_line_end()
    {
        while (cur < end && !xmap_is_line_end(*cur))
            ++cur;
    }
    void skip_white()
    {
        while (cur < end && xmap_is_white(*cur))
            ++cur;
    }
    // The word at the cursor, followed by a blank, a line end or the end of
    // the data; the cursor moves past it only when it matches.
    bool keyword(const char* word)
    {
        const char* p = cur;
        for (; *word; ++word, ++p)
            if (p >= end || *p != *word) return false;
        if (p < end && !xmap_is_white(*p)) return false;
        cur = p;
        return true;
    }
    // Everything up to the next line end.
    std::string rest_of_line()
    {
        const char* s = cur;
        skip_to_line_end();
        return std::string(s, cur);
    }
    // Everything up to the next blank or line end.
    std::string word()
    {
        const char* s = cur;
        while (cur < end && !xmap_is_white(*cur))
            ++cur;
        return std::string(s, cur);
    }
};
