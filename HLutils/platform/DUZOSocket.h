// A thin non-blocking IPv4 TCP socket. The owner polls GetStatus once per
// frame instead of waiting; only LookupAddress blocks. Failures never throw:
// they move the status to closed or error and keep the errno.
//
// The client side serves the HTTP client; the server side (Accept, Release,
// GetAddresses) is used by nothing in the installer.
#pragma once

#include <cstdint>

// Socket status values (GetStatus).
enum {
    kSockIdle = 1,       // created, not connecting (listening: waiting)
    kSockConnecting = 2, // connect in progress (listening: a peer waits to be accepted)
    kSockConnected = 3,
    kSockClosed = 4, // shut down, refused or reset
    kSockError = 5   // a system call failed; GetOSError has the errno
};

class DUZOSocket
{
  public:
    // The two ends of a connection. The byte orders are historical: only
    // the remote address stays as the socket layer delivers it.
    struct ConnectionData {
        uint32_t local_address;  // host byte order
        uint16_t local_port;     // host byte order
        uint32_t remote_address; // network byte order
        uint16_t remote_port;    // host byte order
    };

    // port 0 binds any local port. listen makes a listening socket.
    DUZOSocket(unsigned short port, bool listen);
    // Takes over a connected descriptor (status connected, made non-blocking).
    explicit DUZOSocket(int descriptor);
    virtual ~DUZOSocket();

    // IPv4 address in network byte order, 0 when the host is not found.
    // Dotted text converts directly; names go through the (blocking) resolver.
    static unsigned long LookupAddress(const char* name);

    // address in network byte order, port in host order. Never waits.
    void Connect(unsigned long address, unsigned short port);

    // Polls (zero time-out) and returns the status; may change it.
    int GetStatus();
    // The status as the last call found it; never polls.
    int LastStatus() const { return mStatus; }

    // Bytes taken, 0 when nothing can go now, -1 when the connection failed.
    long http_WriteData(const void* data, long len);
    // Bytes read, 0 when nothing is there (or the peer closed), -1 on failure.
    long ReadData(void* buffer, long size);

    // Shuts both directions down and marks the socket closed.
    int Disconnect();

    // Listening socket: takes one waiting connection (never waits) and
    // returns it as a new socket the caller owns, or null when none was
    // there or the accept failed. A waiting listener goes back to idle; a
    // listener in error stays so, and any other socket is left alone.
    DUZOSocket* Accept();
    // Shuts our sending side: the peer sees the end of the stream, and we
    // can still read what it sends. A failed shutdown gives kSockError.
    void Release();
    // Both ends of the connection; an end that is not known (no peer, no
    // descriptor) is all zeros.
    void GetAddresses(ConnectionData* data);

    bool ReceivedRelease() const { return mPeerReleased; }
    int GetOSError() const { return mOSErr; }
    // The errno that ended the connection (refused, reset, unreachable, ...)
    // when the status became closed that way; 0 otherwise. Kept apart from
    // the OS error, which only an error status sets.
    int GetCloseError() const { return mCloseErr; }
    int GetDescriptor() const { return mSocket; }

    // Nothing needs starting on this platform.
    static int StartupNetworking(bool first);
    static void ShutdownNetworking(bool last);

  private:
    // Shared error classification of send and recv.
    long io_failed(int err, const char* what);

    int mSocket;        // descriptor, -1 when creation failed
    int mStatus;        // kSock*
    int mOSErr;         // errno of the last failure that gave kSockError
    int mCloseErr = 0;  // errno that moved the status to closed
    bool mPeerReleased; // the peer shut its sending side
    bool mWeReleased;   // we shut our sending side
    bool mListening;
};
