#include "support/daemon.h"

#include <unistd.h>

#include "support/nginx.h"

namespace testnet
{

bool program_installed(const char* program)
{
    return access(program, X_OK) == 0;
}

LoopbackDaemon::~LoopbackDaemon()
{
    Stop();
}

void LoopbackDaemon::Stop()
{
    end_server(pid_, port_, dir_);
}

std::string LoopbackDaemon::ReadOutput() const
{
    return read_file(dir_ + "/output.log");
}

bool LoopbackDaemon::Launch(
    const char* program, const std::string& tag, const std::string& conf_name,
    const std::function<std::string(int port)>& config,
    const std::function<std::vector<std::string>(const std::string& conf)>& argv,
    const std::function<bool()>& prepare)
{
    Stop();
    if (!program_installed(program)) {
        failure_ = tag + " is not installed (" + program + ")";
        return false;
    }
    dir_ = make_temp_dir(tag);
    if (dir_.empty()) {
        failure_ = "cannot make a temp folder";
        return false;
    }
    if (prepare && !prepare()) {
        failure_ = "cannot prepare " + dir_;
        return false;
    }
    const std::string conf = dir_ + "/" + conf_name;
    for (int attempt = 0; attempt < 5; ++attempt) {
        const int port = free_port();
        if (!write_file(conf, config(port))) {
            failure_ = "cannot write " + conf;
            return false;
        }
        pid_t pid = spawn_server(program, argv(conf), dir_ + "/output.log");
        if (pid < 0) {
            failure_ = "fork failed";
            return false;
        }
        bool exited = false;
        if (wait_for_port(port, pid, 15000, &exited)) {
            pid_ = pid;
            port_ = port;
            return true;
        }
        if (!exited) stop_child(pid);
        failure_ = tag + " did not come up on port " + std::to_string(port) + ": " + ReadOutput();
    }
    return false;
}

} // namespace testnet
