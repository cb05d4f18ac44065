// The server list: "FINAL" names the release, each "SERVER" record names a
// host, a path prefix and a description.
#include "installer/serverlist.h"

#include <cmath>
#include <cstdlib>

#include "GenH/hl_types.h"
#include "OOPS_cpp/http.h"
#include "installer/globals.h"
#include "installer/text_scan.h"

int parse_server_list(const char* body, const char* end)
{
    text_scan s{body, end};
    int count = 0;
    s.skip_white();
    while (!s.at_end()) {
        s.skip_blanks();
        if (s.keyword("BETA")) {
            s.skip_to_line_end();
        } else if (s.keyword("FINAL")) {
            s.skip_blanks();
            install_name = s.rest_of_line();
        } else if (s.keyword("ENDOFLIST")) {
            break;
        } else if (s.keyword("SERVER")) {
            // Record lines are taken as they come: blank lines never count.
            s.skip_blanks();
            std::string host = s.rest_of_line();
            s.skip_white();
            std::string path = s.rest_of_line();
            s.skip_white();
            std::string desc = s.rest_of_line();
            // The network client ends the program for such a request, so a
            // bad record from the server must never reach it; nor a name
            // that would break the request line.
            const std::string full_path = path + install_name + "/";
            if (host.empty() || host.back() == '/' || path.empty() || path[0] != '/' ||
                !http_sendable_server(host) || !http_sendable_path(full_path)) {
                xer << "Server list: skipping a server record with host '" << http_visible(host)
                    << "' and path '" << http_visible(path) << "'.\n";
            } else if (count < kMaxServers) {
                server_name[count] = host;
                server_path[count] = full_path;
                server_desc[count] = desc;
                ++count;
            }
        } else {
            s.skip_to_line_end();
        }
        s.skip_white();
    }
    return count;
}

int read_server_list(const std::string& path)
{
    xmap_class map(path);
    static const int versions[] = {kServerListVersion, 0};
    if (!map.start ||
        map.check_file(kFileText, versions, kServerListType, nullptr) != kServerListVersion)
        return -1;
    return parse_server_list(map.cursor, map.end);
}

int weighted_server(double u, int n)
{
    if (n <= 0) return -1;
    int i = static_cast<int>(std::pow(u, 1.5) * n);
    if (i < 0) i = 0;
    if (i > n - 1) i = n - 1;
    return i;
}

int choose_server_weighted(int n)
{
    return weighted_server(rand() / 2147483648.0, n);
}
