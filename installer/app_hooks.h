// What the installer gives the library: the hooks GenH/hl_app.h declares
// (get_OS_abs_path and the menu hooks; the installer has no menus) are
// defined in app_hooks.cpp, APP_update in screen.cpp. Also the preferences
// the installer registers and the log lines of the system folders.
#pragma once

// Registers the installer's preferences (names and settings, in the file's
// order) with the library; start-up does it before the file is read.
void register_preferences();

// Writes the five "os_dir_..." lines to the log.
void log_system_folders();
