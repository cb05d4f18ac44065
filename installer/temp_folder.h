// The private temporary folder: made under parent ("/tmp/") with mode 0700
// so no other user can place links where the installer writes; its path is
// temp_path (globals.h).
#pragma once

#include <string>

// Returns 0 and sets temp_path, or an error code.
int make_private_temp(const std::string& parent);
// Removes the private temporary folder and what the installer left in it.
void remove_private_temp();
