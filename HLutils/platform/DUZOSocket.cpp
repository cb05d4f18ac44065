// Linux side of the non-blocking socket.
#include "platform/DUZOSocket.h"

#include <arpa/inet.h>
#include <errno.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "GenH/hl_types.h"

DUZOSocket::DUZOSocket(unsigned short port, bool listen)
    : mSocket(-1), mStatus(kSockIdle), mOSErr(0), mPeerReleased(false), mWeReleased(false),
      mListening(false)
{
    mSocket = socket(AF_INET, SOCK_STREAM, 0);
    if (mSocket < 0) {
        fprintf(stderr, "LINUX: NET: I could not even create the socket! Uh-oh!\n");
        mStatus = kSockError;
        mOSErr = errno;
        return;
    }

    int on = 1;
    if (setsockopt(mSocket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on)) != 0)
        printf("-----------------------Could not set TCP_NODELAY on port %d-------------\n",
               (int)port);

    sockaddr_in local;
    memset(&local, 0, sizeof(local));
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    local.sin_port = htons(port);
    if (bind(mSocket, (sockaddr*)&local, sizeof(local)) != 0) {
        fprintf(stderr, "LINUX: NET: I could not even bind the socket! Uh-oh!\n");
        mStatus = kSockError;
        mOSErr = errno;
        return;
    }

    int nb = 1;
    ioctl(mSocket, FIONBIO, &nb);

    if (listen) {
        mListening = true;
        if (::listen(mSocket, 128) != 0) {
            fprintf(stderr, "LINUX: NET: I could not start listening! Uh-oh!\n");
            mStatus = kSockError;
            mOSErr = errno;
        }
    }
}

DUZOSocket::DUZOSocket(int descriptor)
    : mSocket(descriptor), mStatus(kSockConnected), mOSErr(0), mPeerReleased(false),
      mWeReleased(false), mListening(false)
{
    int nb = 1;
    ioctl(mSocket, FIONBIO, &nb);
}

DUZOSocket::~DUZOSocket()
{
    // Safe after a failed creation: both calls just fail on -1.
    shutdown(mSocket, SHUT_RDWR);
    close(mSocket);
}

unsigned long DUZOSocket::LookupAddress(const char* name)
{
    if (name == nullptr) return 0;
    in_addr_t a = inet_addr(name);
    if (a != INADDR_NONE) return a;
    hostent* h = gethostbyname(name);
    if (h == nullptr || h->h_addrtype != AF_INET || h->h_addr_list == nullptr ||
        h->h_addr_list[0] == nullptr)
        return 0;
    in_addr_t first;
    memcpy(&first, h->h_addr_list[0], sizeof(first));
    return first;
}

void DUZOSocket::Connect(unsigned long address, unsigned short port)
{
    mStatus = kSockConnecting;
    sockaddr_in peer;
    memset(&peer, 0, sizeof(peer));
    peer.sin_family = AF_INET;
    peer.sin_addr.s_addr = (in_addr_t)address;
    peer.sin_port = htons(port);
    if (connect(mSocket, (sockaddr*)&peer, sizeof(peer)) == 0) {
        mStatus = kSockConnected;
        return;
    }
    int err = errno;
    if (err == EAGAIN || err == EINPROGRESS) return; // completes in the background
    fprintf(stderr, "LINUX: NET: Some sort of connect error! %d\n", err);
    mStatus = kSockError;
    mOSErr = err;
}

int DUZOSocket::GetStatus()
{
    // select() cannot watch a descriptor past FD_SETSIZE; such a socket could
    // never be polled, so treat it as a failed one instead of corrupting memory.
    if ((mStatus == kSockIdle && mListening) || mStatus == kSockConnecting) {
        if (mSocket < 0 || mSocket >= FD_SETSIZE) {
            mStatus = kSockError;
            mOSErr = EBADF;
            return mStatus;
        }
    }
    timeval zero = {0, 0};
    if (mStatus == kSockIdle) {
        if (!mListening) return mStatus;
        fd_set rd;
        FD_ZERO(&rd);
        FD_SET(mSocket, &rd);
        int r = select(mSocket + 1, &rd, nullptr, nullptr, &zero);
        if (r > 0) {
            mStatus = kSockConnecting;
        } else if (r < 0 && errno != EINTR) {
            fprintf(stderr, "LINUX: NET: Some sort of socket error! %d\n", r);
            mStatus = kSockError;
            mOSErr = errno;
        }
        return mStatus;
    }
    if (mStatus == kSockConnecting) {
        fd_set wr, ex;
        FD_ZERO(&wr);
        FD_ZERO(&ex);
        FD_SET(mSocket, &wr);
        FD_SET(mSocket, &ex);
        int r = select(mSocket + 1, nullptr, &wr, &ex, &zero);
        if (r > 0) {
            if (FD_ISSET(mSocket, &wr) && !FD_ISSET(mSocket, &ex)) {
                mStatus = kSockConnected;
            } else {
                mStatus = kSockClosed;
                // Only to say why; the status is closed whatever it holds.
                int err = 0;
                socklen_t len = sizeof(err);
                if (getsockopt(mSocket, SOL_SOCKET, SO_ERROR, &err, &len) == 0) mCloseErr = err;
            }
        } else if (r < 0 && errno != EINTR) {
            int err = errno;
            fprintf(
                stderr,
                "LINUX: NET: Some sort of socket error while connecting! %d (errno=%d sock=%d)\n",
                r, err, mSocket);
            mStatus = kSockError;
            mOSErr = err;
        }
        return mStatus;
    }
    return mStatus;
}

long DUZOSocket::io_failed(int err, const char* what)
{
    switch (err) {
    case EAGAIN:
        return 0;
    case ENETDOWN:
    case ENETUNREACH:
    case ENETRESET:
    case ECONNABORTED:
    case ECONNRESET:
    case ETIMEDOUT:
    case ECONNREFUSED:
    case EHOSTUNREACH:
        mStatus = kSockClosed; // the connection is gone
        mCloseErr = err;
        return -1;
    default:
        mStatus = kSockError;
        mOSErr = err;
        fprintf(stderr, "LINUX: NET: Some sort of error while %s! %d\n", what, err);
        return -1;
    }
}

long DUZOSocket::http_WriteData(const void* data, long len)
{
    ssize_t n = send(mSocket, data, (size_t)len, 0);
    if (n >= 0) return (long)n;
    return io_failed(errno, "sending");
}

long DUZOSocket::ReadData(void* buffer, long size)
{
    ssize_t n = recv(mSocket, buffer, (size_t)size, 0);
    if (n > 0) return (long)n;
    if (n == 0) {
        mPeerReleased = true;
        if (mWeReleased) {
            mStatus = kSockClosed;
            return -1;
        }
        return 0;
    }
    return io_failed(errno, "recving");
}

int DUZOSocket::Disconnect()
{
    int r = shutdown(mSocket, SHUT_RDWR);
    mStatus = kSockClosed;
    return r;
}

DUZOSocket* DUZOSocket::Accept()
{
    // accept() on anything else fails anyway; its status is not ours to touch.
    if (!mListening) return nullptr;
    // The listener is non-blocking, so this never waits even when the peer
    // went away between the poll and here.
    int fd = accept(mSocket, nullptr, nullptr);
    if (mStatus == kSockConnecting) mStatus = kSockIdle; // keep an error visible
    if (fd < 0) return nullptr;
    return new DUZOSocket(fd);
}

void DUZOSocket::Release()
{
    mWeReleased = true;
    if (shutdown(mSocket, SHUT_WR) != 0) {
        mStatus = kSockError;
        mOSErr = errno;
    }
}

namespace
{
// One end's address, or false (and nothing stored) when the call failed.
bool ipv4_of(int (*query)(int, sockaddr*, socklen_t*), int fd, sockaddr_in* out)
{
    sockaddr_in a;
    memset(&a, 0, sizeof(a));
    socklen_t len = sizeof(a);
    if (query(fd, (sockaddr*)&a, &len) != 0 || len < sizeof(a) || a.sin_family != AF_INET)
        return false;
    *out = a;
    return true;
}
} // namespace

void DUZOSocket::GetAddresses(ConnectionData* data)
{
    if (data == nullptr) return;
    memset(data, 0, sizeof(*data));
    sockaddr_in a;
    if (ipv4_of(getpeername, mSocket, &a)) {
        data->remote_address = a.sin_addr.s_addr;
        data->remote_port = ntohs(a.sin_port);
    }
    if (ipv4_of(getsockname, mSocket, &a)) {
        data->local_address = ntohl(a.sin_addr.s_addr);
        data->local_port = ntohs(a.sin_port);
    }
}

int DUZOSocket::StartupNetworking(bool)
{
    return 1;
}

void DUZOSocket::ShutdownNetworking(bool) {}
