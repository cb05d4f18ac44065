// The installer's file-level state that no one module owns: the private
// temporary folder, the release and its servers from the server list, and the
// archive the download step handled last. The state each module owns is
// declared in its own header (sim_info in directory.h, next in streams.h,
// engine_windows in sub_wins.h, maker_host in frame.h).
#pragma once

#include <string>

// The maker's web site and its download page, named in the too-new-format
// alert and on the main screen.
constexpr const char* kMakerWebSite = "www.zudezud.example";
constexpr const char* kMakerDownloadPage = "http://www.zudezud.example/download.html";

// Servers a server list may name; records past this are read and dropped.
constexpr int kMaxServers = 10;

extern std::string temp_path;                // private temporary folder, ends in '/'
extern std::string install_name;             // release name from the server list
extern std::string server_name[kMaxServers]; // host of each server
extern std::string server_path[kMaxServers]; // path prefix + install_name + "/"
extern std::string server_desc[kMaxServers]; // description for the chooser
extern std::string crnt_file_name;           // archive handled last by the download step
extern std::string crnt_file_path;           // its request path
