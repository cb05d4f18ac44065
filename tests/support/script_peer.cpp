#include "support/script_peer.h"

#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace testnet
{

namespace
{
using Clock = std::chrono::steady_clock;

void nap()
{
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}
} // namespace

ScriptPeer::~ScriptPeer()
{
    CloseConnection();
    CloseListener();
}

bool ScriptPeer::Listen()
{
    CloseListener();
    listen_fd_ = socket(AF_INET, SOCK_STREAM, 0);
    if (listen_fd_ < 0) return false;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = 0;
    socklen_t len = sizeof(a);
    if (bind(listen_fd_, (sockaddr*)&a, sizeof(a)) != 0 || listen(listen_fd_, 8) != 0 ||
        getsockname(listen_fd_, (sockaddr*)&a, &len) != 0) {
        CloseListener();
        return false;
    }
    fcntl(listen_fd_, F_SETFL, fcntl(listen_fd_, F_GETFL) | O_NONBLOCK);
    port_ = ntohs(a.sin_port);
    return true;
}

bool ScriptPeer::Accept(const std::function<void()>& pump, int timeout_ms)
{
    auto until = Clock::now() + std::chrono::milliseconds(timeout_ms);
    while (Clock::now() < until) {
        int fd = accept(listen_fd_, nullptr, nullptr);
        if (fd >= 0) {
            CloseConnection();
            conn_fd_ = fd;
            fcntl(conn_fd_, F_SETFL, fcntl(conn_fd_, F_GETFL) | O_NONBLOCK);
            return true;
        }
        if (pump) pump();
        nap();
    }
    return false;
}

bool ScriptPeer::ReadRequest(const std::function<void()>& pump, int timeout_ms)
{
    auto until = Clock::now() + std::chrono::milliseconds(timeout_ms);
    while (Clock::now() < until) {
        char buf[4096];
        ssize_t n = recv(conn_fd_, buf, sizeof(buf), 0);
        if (n > 0) {
            request_.append(buf, (size_t)n);
            if (request_.find("\r\n\r\n") != std::string::npos) return true;
            continue;
        }
        if (n == 0) return false;
        if (pump) pump();
        nap();
    }
    return false;
}

bool ScriptPeer::Send(const std::string& bytes, const std::function<void()>& pump)
{
    size_t done = 0;
    auto until = Clock::now() + std::chrono::seconds(10);
    while (done < bytes.size() && Clock::now() < until) {
        ssize_t n = send(conn_fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n > 0)
            done += (size_t)n;
        else if (n < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        else {
            if (pump) pump();
            nap();
        }
    }
    return done == bytes.size();
}

bool ScriptPeer::WaitClosed(const std::function<void()>& pump, int timeout_ms)
{
    auto until = Clock::now() + std::chrono::milliseconds(timeout_ms);
    while (Clock::now() < until) {
        char buf[4096];
        ssize_t n = recv(conn_fd_, buf, sizeof(buf), 0);
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) return true;
        if (n > 0) continue;
        if (pump) pump();
        nap();
    }
    return false;
}

void ScriptPeer::CloseConnection()
{
    if (conn_fd_ >= 0) close(conn_fd_);
    conn_fd_ = -1;
}

void ScriptPeer::ResetConnection()
{
    if (conn_fd_ < 0) return;
    // A zero linger time makes close() send a reset instead of the end of the stream.
    linger l{1, 0};
    setsockopt(conn_fd_, SOL_SOCKET, SO_LINGER, &l, sizeof(l));
    CloseConnection();
}

void ScriptPeer::CloseListener()
{
    if (listen_fd_ >= 0) close(listen_fd_);
    listen_fd_ = -1;
}

} // namespace testnet
