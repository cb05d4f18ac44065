#include "support/nginx.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sched.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

namespace testnet
{

std::string make_temp_dir(const std::string& tag)
{
    const char* base = getenv("TMPDIR");
    std::string templ = std::string(base && *base ? base : "/tmp") + "/zz_" + tag + "_XXXXXX";
    std::vector<char> buf(templ.begin(), templ.end());
    buf.push_back(0);
    if (mkdtemp(buf.data()) == nullptr) return "";
    return std::string(buf.data());
}

void remove_tree(const std::string& path)
{
    if (path.empty()) return;
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) return;
    if (S_ISDIR(st.st_mode)) {
        if (DIR* d = opendir(path.c_str())) {
            while (dirent* e = readdir(d)) {
                if (strcmp(e->d_name, ".") == 0 || strcmp(e->d_name, "..") == 0) continue;
                remove_tree(path + "/" + e->d_name);
            }
            closedir(d);
        }
        rmdir(path.c_str());
    } else {
        unlink(path.c_str());
    }
}

bool write_file(const std::string& path, const std::string& bytes)
{
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (fclose(f) != 0) ok = false;
    return ok;
}

std::string read_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return "";
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

int free_port()
{
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return 0;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = 0;
    socklen_t len = sizeof(a);
    int port = 0;
    if (bind(fd, (sockaddr*)&a, sizeof(a)) == 0 && getsockname(fd, (sockaddr*)&a, &len) == 0)
        port = ntohs(a.sin_port);
    close(fd);
    return port;
}

bool can_bind_port_80()
{
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return false;
    int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(80);
    bool ok = bind(fd, (sockaddr*)&a, sizeof(a)) == 0;
    close(fd);
    return ok;
}

namespace
{
const char kNginxProgram[] = "/usr/sbin/nginx";

bool loopback_up()
{
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0) return false;
    ifreq ifr{};
    strncpy(ifr.ifr_name, "lo", IFNAMSIZ - 1);
    bool ok = ioctl(fd, SIOCGIFFLAGS, &ifr) == 0;
    if (ok) {
        ifr.ifr_flags |= IFF_UP | IFF_RUNNING;
        ok = ioctl(fd, SIOCSIFFLAGS, &ifr) == 0;
    }
    close(fd);
    return ok;
}
} // namespace

int run_in_private_loopback(const std::function<int()>& fn, std::string* why)
{
    int pipefd[2];
    if (pipe(pipefd) != 0) {
        if (why) *why = "pipe failed";
        return -1;
    }
    fflush(nullptr);
    pid_t pid = fork();
    if (pid < 0) {
        if (why) *why = "fork failed";
        close(pipefd[0]);
        close(pipefd[1]);
        return -1;
    }
    if (pid == 0) {
        close(pipefd[0]);
        char ok = 1;
        if (unshare(CLONE_NEWNET) != 0 || !loopback_up()) ok = 0;
        if (write(pipefd[1], &ok, 1) != 1) _exit(127);
        close(pipefd[1]);
        if (!ok) _exit(126);
        int r = fn();
        fflush(nullptr);
        _exit(r & 0xff);
    }
    close(pipefd[1]);
    char ok = 0;
    ssize_t n = read(pipefd[0], &ok, 1);
    close(pipefd[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (n != 1 || !ok) {
        if (why) *why = "no private network namespace here (unshare(CLONE_NEWNET) refused)";
        return -1;
    }
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (why) *why = "the child died by a signal";
    return 255;
}

bool nginx_installed()
{
    return access(kNginxProgram, X_OK) == 0;
}

bool wait_for_port(int port, pid_t child, int timeout_ms, bool* exited)
{
    if (exited) *exited = false;
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (std::chrono::steady_clock::now() < until) {
        int status;
        if (child > 0 && waitpid(child, &status, WNOHANG) == child) {
            if (exited) *exited = true;
            return false;
        }
        int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons((unsigned short)port);
        bool ok = connect(fd, (sockaddr*)&a, sizeof(a)) == 0;
        close(fd);
        if (ok) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

void stop_child(pid_t pid)
{
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    for (int i = 0; i < 250; ++i) { // up to 5 s
        int status;
        pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid || (r < 0 && errno == ECHILD)) return; // gone, or not ours to wait for
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    kill(pid, SIGKILL);
    int status;
    waitpid(pid, &status, 0);
}

pid_t spawn_server(const char* program, const std::vector<std::string>& argv,
                   const std::string& log_path)
{
    // Built before the fork: the child only redirects and execs.
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    fflush(nullptr);
    pid_t pid = fork();
    if (pid != 0) return pid;
    int devnull = open("/dev/null", O_RDWR);
    int out =
        log_path.empty() ? devnull : open(log_path.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    if (devnull >= 0) dup2(devnull, 0);
    if (out >= 0) {
        dup2(out, 1);
        dup2(out, 2);
    }
    execv(program, args.data());
    _exit(127);
}

void end_server(pid_t& pid, int& port, std::string& dir)
{
    if (pid > 0) stop_child(pid);
    pid = -1;
    port = 0;
    remove_tree(dir);
    dir.clear();
}

Nginx::~Nginx()
{
    Stop();
}

bool Nginx::Start(const NginxOptions& options)
{
    Stop();
    if (!nginx_installed()) {
        failure_ = "nginx is not installed (/usr/sbin/nginx)";
        return false;
    }
    // A free port can be taken by another test between the check and
    // nginx's bind: try a few.
    for (int attempt = 0; attempt < 5; ++attempt) {
        int port = options.port_80 ? 80 : options.port != 0 ? options.port : free_port();
        if (start_once(options, port)) return true;
        if (options.port_80 || options.port != 0) break;
    }
    return false;
}

bool Nginx::start_once(const NginxOptions& options, int port)
{
    if (dir_.empty()) dir_ = make_temp_dir("nginx");
    if (dir_.empty()) {
        failure_ = "cannot make a temp folder";
        return false;
    }
    access_log_ = dir_ + "/access.log";
    error_log_ = dir_ + "/error.log";
    unlink(access_log_.c_str());
    unlink(error_log_.c_str());
    unlink((dir_ + "/nginx.pid").c_str());
    std::ostringstream c;
    c << "daemon off;\nmaster_process off;\nworker_processes 1;\n";
    if (geteuid() == 0) c << "user root;\n"; // the served temp folders are private
    c << "pid " << dir_ << "/nginx.pid;\n"
      << "error_log " << error_log_ << " info;\n"
      << "events { worker_connections 256; }\n"
      << "http {\n"
      << "  access_log " << access_log_ << ";\n"
      << "  client_body_temp_path " << dir_ << "/body;\n"
      << "  proxy_temp_path " << dir_ << "/proxy;\n"
      << "  fastcgi_temp_path " << dir_ << "/fastcgi;\n"
      << "  uwsgi_temp_path " << dir_ << "/uwsgi;\n"
      << "  scgi_temp_path " << dir_ << "/scgi;\n"
      << "  default_type application/octet-stream;\n"
      << "  sendfile on;\n"
      << "  server {\n"
      << "    listen 127.0.0.1:" << port << ";\n"
      << "    server_name _;\n"
      << "    root " << options.root << ";\n"
      << "    location / { }\n"
      << options.extra_server_conf << "\n"
      << "  }\n"
      << "}\n";
    const std::string conf = dir_ + "/nginx.conf";
    if (!write_file(conf, c.str())) {
        failure_ = "cannot write " + conf;
        return false;
    }
    pid_t pid = spawn_server(kNginxProgram, {"nginx", "-p", dir_, "-c", conf});
    if (pid < 0) {
        failure_ = "fork failed";
        return false;
    }
    // nginx writes its pid file only once its port is bound. Without that
    // check, a port taken meanwhile by another test's server would answer
    // the probe while nginx retries its bind and then gives up.
    const std::string pid_file = dir_ + "/nginx.pid";
    bool exited = false;
    bool up = false;
    for (int i = 0; i < 500 && !exited; ++i) { // up to 10 s
        int status;
        if (waitpid(pid, &status, WNOHANG) == pid) {
            exited = true;
        } else if (atoi(read_file(pid_file).c_str()) == (int)pid) {
            up = true;
            break;
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    if (up) up = wait_for_port(port, pid, 10000, &exited);
    if (!up) {
        if (!exited) stop_child(pid);
        failure_ =
            "nginx did not come up on port " + std::to_string(port) + ": " + read_file(error_log_);
        return false;
    }
    pid_ = pid;
    port_ = port;
    return true;
}

void Nginx::Stop()
{
    end_server(pid_, port_, dir_);
}

} // namespace testnet
