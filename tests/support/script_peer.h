// A scripted TCP peer on 127.0.0.1 for replies no real server sends. It is
// driven from the test's own thread: the test polls the client (pump) while
// the peer waits, then sends exactly the bytes it wants, when it wants.
#pragma once

#include <functional>
#include <string>

namespace testnet
{

class ScriptPeer
{
  public:
    ScriptPeer() = default;
    ~ScriptPeer();
    ScriptPeer(const ScriptPeer&) = delete;
    ScriptPeer& operator=(const ScriptPeer&) = delete;

    // Listens on a free loopback port.
    bool Listen();
    int port() const { return port_; }

    // Accepts one connection, calling pump between tries (bounded).
    bool Accept(const std::function<void()>& pump, int timeout_ms = 5000);
    // Reads until the request's blank line, calling pump between tries.
    bool ReadRequest(const std::function<void()>& pump, int timeout_ms = 5000);
    const std::string& request() const { return request_; }

    // Sends all bytes on the accepted connection, calling pump while the
    // connection is full (bounded).
    bool Send(const std::string& bytes, const std::function<void()>& pump = nullptr);
    // True once the client has closed its side (reads, and drops, whatever
    // arrives meanwhile), calling pump between tries (bounded).
    bool WaitClosed(const std::function<void()>& pump, int timeout_ms = 5000);
    // Closes the accepted connection (the client sees the end of the stream).
    void CloseConnection();
    // Aborts the accepted connection: the client's next read or send fails
    // with "connection reset".
    void ResetConnection();
    void CloseListener();

  private:
    int listen_fd_ = -1;
    int conn_fd_ = -1;
    int port_ = 0;
    std::string request_;
};

} // namespace testnet
