// A real nginx on loopback for tests, plus small network test aids: free
// ports, private temp folders, and running code in a private network
// namespace (for port 80 and for name lookups that must not leave the host).
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

namespace testnet
{

// A fresh private folder (mkdtemp under $TMPDIR or /tmp); "" on failure.
std::string make_temp_dir(const std::string& tag);
// Removes a folder tree made by make_temp_dir.
void remove_tree(const std::string& path);
// Writes a file whole; false on failure.
bool write_file(const std::string& path, const std::string& bytes);
// Reads a file whole; "" when missing.
std::string read_file(const std::string& path);

// A TCP port on 127.0.0.1 that was free a moment ago (0 on failure).
int free_port();
// True when this process can bind 127.0.0.1:80 right now.
bool can_bind_port_80();

// Runs fn in a forked child that has its own network namespace with only
// an up loopback, so port 80 is free and nothing reaches the outside.
// Returns fn's result (its exit status), or -1 with *why set when a private
// namespace cannot be made here. fn must not rely on gtest assertions.
int run_in_private_loopback(const std::function<int()>& fn, std::string* why);

struct NginxOptions {
    std::string root;              // folder served at "/"
    int port = 0;                  // 0: pick a free port
    bool port_80 = false;          // listen on 127.0.0.1:80 (root, port free)
    std::string extra_server_conf; // lines added inside the server block
};

// One nginx process (single process, no daemon) with its own prefix,
// configuration, pid file and logs in a private temp folder. It answers
// absolute request lines ("GET http://any-host/path HTTP/1.1") from the
// same root, so it can stand in for both a server and a proxy.
class Nginx
{
  public:
    Nginx() = default;
    ~Nginx();
    Nginx(const Nginx&) = delete;
    Nginx& operator=(const Nginx&) = delete;

    // Starts and waits (bounded) until the port answers. False with
    // failure() set when nginx is missing or does not come up.
    bool Start(const NginxOptions& options);
    bool Start(const std::string& root)
    {
        NginxOptions o;
        o.root = root;
        return Start(o);
    }
    // Ends nginx and removes its folder (logs included: read them first).
    void Stop();

    bool running() const { return pid_ > 0; }
    int port() const { return port_; }
    const std::string& access_log() const { return access_log_; }
    const std::string& error_log() const { return error_log_; }
    const std::string& failure() const { return failure_; }
    std::string ReadAccessLog() const { return read_file(access_log_); }

  private:
    bool start_once(const NginxOptions& options, int port);

    pid_t pid_ = -1;
    int port_ = 0;
    std::string dir_;
    std::string access_log_;
    std::string error_log_;
    std::string failure_;
};

// True when the nginx program is installed.
bool nginx_installed();

// Waits (bounded) until something accepts connections on 127.0.0.1:port
// while the child pid is alive. False when it died or the time ran out;
// *exited tells the first case apart: that child is reaped already and must
// not be signalled (its pid may belong to another process by now).
bool wait_for_port(int port, pid_t child, int timeout_ms, bool* exited = nullptr);
// Ends a child started by a fixture: SIGTERM, then SIGKILL after a while.
void stop_child(pid_t pid);

// Runs program (argv[0] is its name) in a child with standard input from
// /dev/null and its output and errors appended to log_path (/dev/null when
// empty). The child's pid, or -1 when fork fails.
pid_t spawn_server(const char* program, const std::vector<std::string>& argv,
                   const std::string& log_path = "");
// A server fixture's Stop: ends its child (if any), removes its folder and
// clears all three.
void end_server(pid_t& pid, int& port, std::string& dir);

} // namespace testnet
