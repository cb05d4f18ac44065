// What the application gives the library. The library declares these and
// calls them; the program defines them (installer/), and the library's own
// tests link a small stand-in. Nothing of the library includes a header of
// the application.
//
// The installer's objects go whole into each program that links them
// (installer_core is an object library), ahead of HLutils, so these hooks are
// always found; the stand-in is tests/support/app_stub.cpp.
#pragma once

#include <string>

// The application's frame hook: its work of one frame pass.
void APP_update();
// The application's menu hook: a picked item's id.
void APP_handlemenu(int item_id);
// Hooks the application defines beside APP_handlemenu; the library never
// calls them.
void function_key(int key);
void make_shortcut();

// System folders the library asks for: 0 program, 1 and 2 home, 3 temp,
// 4 preferences (made on every call). Other indexes leave out unchanged.
enum {
    kOsDirApp = 0,
    kOsDirDesktop = 1,
    kOsDirDefaultApps = 2,
    kOsDirTemp = 3,
    kOsDirPrefs = 4,
};
void get_OS_abs_path(int index, std::string& out);

// The four images built into the program (drawn at build time by
// tools/texgen and linked into the library): 8-bit RGBA, bottom row first,
// in rows of the texture width.
constexpr int kTexesInterfaceBytes = 512 * 512 * 4;  // 512 x 512, rows of 512
constexpr int kTexesInstallerBytes = 1010 * 764 * 4; // 1010 x 764, rows of 1024
constexpr int kTexesBackBytes = 1024 * 768 * 4;      // 1024 x 768, rows of 1024

extern "C" {
extern const unsigned char t_interface_dat[kTexesInterfaceBytes];
extern const unsigned char t_installer_dat[kTexesInstallerBytes];
extern const unsigned char t_ins_back_1_dat[kTexesBackBytes];
extern const unsigned char t_ins_back_2_dat[kTexesBackBytes];
}
