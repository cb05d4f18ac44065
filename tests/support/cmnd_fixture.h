// Commands added to a command table by a test, the way commands added at run
// time are: at the end, with type kCmndAdded, so the numbers before stay.
#pragma once

#include <string>

#include "OOPS_cpp/cmnd.h"

inline void cmnd_append(cmnd_class& table, const std::string& path,
                        const std::string& description = "")
{
    table.enum_names.push_back("DYNAMIC");
    table.paths.push_back(path);
    table.descriptions.push_back(description);
    table.types.push_back(kCmndAdded);
}
