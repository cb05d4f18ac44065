// The server list "serverlist.txt": parsing and the choice of a server.
#pragma once

#include <string>

constexpr int kServerListVersion = 820;
constexpr const char* kServerListType = "SERVERS";

// Reads the body of a server list (the bytes after its header) into
// install_name and the server tables; returns the number of servers stored
// (0 to kMaxServers). A record whose host ends in '/' or whose path does not
// start with '/' is skipped with a log line: it could never be requested.
int parse_server_list(const char* body, const char* end);

// Maps the file, checks its header and parses it. Returns the number of
// servers, or -1 when the file is missing or its header is refused.
int read_server_list(const std::string& path);

// Server index for u in [0, 1): (u^1.5 * n) truncated, within 0..n-1; -1 for
// n 0. Favours the first servers of the list.
int weighted_server(double u, int n);
// weighted_server with u = rand() / 2^31.
int choose_server_weighted(int n);
