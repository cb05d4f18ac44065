// The installer's globals (the library's own are in hl_types).
#include "installer/globals.h"

std::string temp_path;
std::string install_name;
std::string server_name[kMaxServers];
std::string server_path[kMaxServers];
std::string server_desc[kMaxServers];
std::string crnt_file_name;
std::string crnt_file_path;
