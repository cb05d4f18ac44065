#include "support/alert_probe.h"

#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <mutex>

#include <gtest/gtest.h>

#include "GenH/hl_types.h"

namespace
{

std::mutex probe_mutex;
std::vector<AlertRecord>* probe_records = nullptr; // the live probe's list
pthread_t probe_thread;

void record_alert(const alert_notice& n)
{
    AlertRecord r;
    r.kind = n.kind;
    for (int i = 0; i < 4; ++i)
        r.lines[i] = *n.lines[i];
    r.source_file = n.source_file ? n.source_file : "";
    r.source_line = n.source_line;
    r.route = n.route;
    std::lock_guard<std::mutex> hold(probe_mutex);
    if (!probe_records) return;
    r.on_main_thread = pthread_equal(pthread_self(), probe_thread) != 0;
    probe_records->push_back(r);
}

std::string slurp_fd(int fd)
{
    std::string all;
    char buf[4096];
    lseek(fd, 0, SEEK_SET);
    ssize_t n;
    while ((n = read(fd, buf, sizeof buf)) > 0)
        all.append(buf, size_t(n));
    return all;
}

int temp_file()
{
    const char* tmp = std::getenv("TMPDIR");
    std::string tmpl = std::string(tmp && *tmp ? tmp : "/tmp") + "/zudezud_child_XXXXXX";
    int fd = mkstemp(&tmpl[0]);
    if (fd >= 0) unlink(tmpl.c_str());
    return fd;
}

void remove_tree(const std::string& path)
{
    if (DIR* d = opendir(path.c_str())) {
        while (dirent* e = readdir(d)) {
            std::string name = e->d_name;
            if (name == "." || name == "..") continue;
            std::string full = path + "/" + name;
            struct stat st;
            if (lstat(full.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
                remove_tree(full);
            else
                unlink(full.c_str());
        }
        closedir(d);
    }
    rmdir(path.c_str());
}

} // namespace

AlertProbe::AlertProbe()
{
    std::lock_guard<std::mutex> hold(probe_mutex);
    probe_records = new std::vector<AlertRecord>;
    probe_thread = pthread_self();
    alert_set_watch_hook(record_alert);
}

AlertProbe::~AlertProbe()
{
    alert_set_watch_hook(nullptr);
    std::lock_guard<std::mutex> hold(probe_mutex);
    delete probe_records;
    probe_records = nullptr;
}

std::vector<AlertRecord> AlertProbe::records() const
{
    std::lock_guard<std::mutex> hold(probe_mutex);
    return *probe_records;
}

std::size_t AlertProbe::count() const
{
    std::lock_guard<std::mutex> hold(probe_mutex);
    return probe_records->size();
}

AlertRecord AlertProbe::last() const
{
    std::lock_guard<std::mutex> hold(probe_mutex);
    return probe_records->empty() ? AlertRecord() : probe_records->back();
}

void AlertProbe::clear()
{
    std::lock_guard<std::mutex> hold(probe_mutex);
    probe_records->clear();
}

bool ChildResult::aborted() const
{
    return signal == SIGABRT;
}

ChildResult run_in_child(const std::function<void()>& body, int timeout_s)
{
    ChildResult r;
    int out_fd = temp_file(), err_fd = temp_file();
    if (out_fd < 0 || err_fd < 0) {
        ADD_FAILURE() << "run_in_child: no temporary file";
        return r;
    }
    // What is still buffered would otherwise be written twice.
    std::fflush(stdout);
    std::fflush(stderr);
    if (xer.is_open()) xer.flush();
    pid_t pid = fork();
    if (pid < 0) {
        ADD_FAILURE() << "run_in_child: fork failed";
        return r;
    }
    if (pid == 0) {
        dup2(out_fd, 1);
        dup2(err_fd, 2);
        alarm(unsigned(timeout_s));
        body();
        std::fflush(stdout);
        std::fflush(stderr);
        _exit(0);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            ADD_FAILURE() << "run_in_child: waitpid failed";
            close(out_fd);
            close(err_fd);
            return r;
        }
    }
    if (WIFEXITED(status)) r.exit_code = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) r.signal = WTERMSIG(status);
    r.out = slurp_fd(out_fd);
    r.err = slurp_fd(err_fd);
    close(out_fd);
    close(err_fd);
    return r;
}

TempCwd::TempCwd()
{
    char here[4096];
    if (getcwd(here, sizeof here)) old_ = here;
    const char* tmp = std::getenv("TMPDIR");
    std::string tmpl = std::string(tmp && *tmp ? tmp : "/tmp") + "/zudezud_cwd_XXXXXX";
    if (!mkdtemp(&tmpl[0]) || chdir(tmpl.c_str()) != 0) {
        ADD_FAILURE() << "TempCwd: cannot make or enter " << tmpl;
        return;
    }
    path_ = tmpl + "/";
}

TempCwd::~TempCwd()
{
    if (!old_.empty() && chdir(old_.c_str()) != 0) std::perror("TempCwd: chdir back");
    if (!path_.empty()) remove_tree(path_.substr(0, path_.size() - 1));
}
