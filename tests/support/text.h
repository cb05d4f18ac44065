// Text helpers the tests share.
#pragma once

#include <string>

// How many times `what` stands in `text`, overlapping places counted.
inline int count_of(const std::string& text, const std::string& what)
{
    int n = 0;
    for (auto p = text.find(what); p != std::string::npos; p = text.find(what, p + 1))
        ++n;
    return n;
}
