// The four images compiled into the program (drawn at build time by
// tools/texgen): 8-bit RGBA, bottom row first, in rows of the texture width.
#pragma once

// Bytes stored for each image.
constexpr int kTexesInterfaceBytes = 512 * 512 * 4;  // 512 x 512, rows of 512
constexpr int kTexesInstallerBytes = 1010 * 764 * 4; // 1010 x 764, rows of 1024
constexpr int kTexesBackBytes = 1024 * 768 * 4;      // 1024 x 768, rows of 1024

extern "C" {
extern const unsigned char t_interface_dat[kTexesInterfaceBytes];
extern const unsigned char t_installer_dat[kTexesInstallerBytes];
extern const unsigned char t_ins_back_1_dat[kTexesBackBytes];
extern const unsigned char t_ins_back_2_dat[kTexesBackBytes];
}
