// The HTTP/1.1 download client: one down_class per running request, and the
// six polled slots of http_class (the global `http`, see hl_types.h).
//
// Index: net_check answers and slots; reply head parser; down_class;
// http_class.
//
// Only replies delimited by "Content-Length" are read: a reply that cannot be
// read (a status code that is not three digits, a "Content-Length" that is no
// number or two that differ), a 206, or a connection closed before the body
// is complete fails at once, and a body longer than its length is cut to it and fails. Every failed
// request has a reason (down_class::FailureReason, with the errno the socket
// kept), written to the log when it changes and counted while it repeats; each
// such write is flushed. The two list requests pass kNetNoCache. A server
// name or path that would break the request line is never sent.
#pragma once

#include <poll.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

class DUZOSocket;

// ---------------------------------------------------------------------------
// [SECTION] Numbers

// Answers of http_class::net_check.
constexpr int kNetRunning = 0;  // still transferring
constexpr int kNetComplete = 1; // the whole body is in the local file
constexpr int kNetFailed = 2;   // failed or timed out; the slot is free again

// The slots: 0 server list, 1 directory archive, 2 to 5 file streams.
constexpr int kNetSlots = 6;
constexpr int kNetSlotServerList = 0;
constexpr int kNetSlotDirectory = 1;
constexpr int kNetSlotFirstStream = 2;

// A request that sees no activity for this long (clock seconds) fails.
constexpr float kNetIdleSecs = 30.0f;
// One read per request and step.
constexpr int kNetReadChunk = 65536;
// A reply head larger than this fails the request instead of growing memory.
constexpr std::size_t kNetMaxHeadBytes = 64 * 1024;
// Requests always go to the standard HTTP port.
constexpr unsigned short kNetHttpPort = 80;
// http_content_length's answer for a value that is no number of bytes.
constexpr int64_t kNetLengthInvalid = -2;
// net_check's last argument: lists that change in place must not come from a
// cache (archives may).
constexpr bool kNetNoCache = true;

// GetStat answers.
enum {
    kStatNoSocket = 0,
    kStatConnecting = 1,
    kStatSocketError = 2,
    kStatClosed = 3,
    kStatSending = 4,
    kStatBody = 5,
    kStatWaitHead = 6
};

// ---------------------------------------------------------------------------
// [SECTION] Reply head parser (pure: works on bytes already received)

// Header names compare without regard to letter case ("content-length" is
// "Content-Length"; proxies such as haproxy send names in lower case).
struct http_name_less {
    bool operator()(const std::string& a, const std::string& b) const;
};
using http_header_map = std::map<std::string, std::string, http_name_less>;

struct http_head_struct {
    bool done = false; // blank line of a final (>= 200) reply seen
    int status = 0;    // code of the last status line; 0/-1 before one
    std::string reason;
    http_header_map headers;    // first occurrence of a name (in any case) wins
    std::size_t head_bytes = 0; // head bytes consumed so far
    // A later "Content-Length" value that differs from the first; "" when none.
    std::string length_conflict;
    // The first line that begins like a status line ("HTTP/") but is none,
    // such as "HTTP/1.1 2000 Weird"; "" when there was none.
    std::string bad_status_line;
};

// Consumes complete CRLF lines from the front of buf into head, up to and
// including the blank line that ends a final reply; the body bytes after it
// stay in buf. Interim (1xx) replies are consumed and parsing goes on.
// A status line is "HTTP/d.d", a blank, three digits, then a blank and the
// reason phrase or the end of the line. A header is a name without blanks,
// a colon and the value, the blanks around the value left out.
// Returns 0, or an error code when the head grows past kNetMaxHeadBytes.
int http_parse_head(std::vector<char>& buf, http_head_struct& head);

// "Content-Length" as a decimal: digits only, blanks around them allowed;
// -1 when the header is missing, kNetLengthInvalid when the value is no
// number of bytes (a sign, any other character, empty, past 63 bits).
int64_t http_content_length(const http_header_map& headers);

// Why a final reply's head alone makes the request fail: a body this client
// cannot delimit (any Transfer-Encoding but identity, a "Content-Length"
// that is no number or two that differ, or a 2xx without "Content-Length")
// or a part (206) where the whole file was asked for.
// "" when the reply can be read.
std::string http_unreadable_reply(const http_head_struct& head);

// Names that go into the request line and the "Host" header. A server name
// holds no blank and no control character (DEL included); a path holds no
// control character (its blanks are sent as %20). Anything else could end
// the line early and smuggle in text of the sender's choosing.
bool http_sendable_server(const std::string& server);
bool http_sendable_path(const std::string& path);
// text with its control characters written as \xNN, for the log and the
// screen: a refused name cannot break a line there either.
std::string http_visible(const std::string& text);

// ---------------------------------------------------------------------------
// [SECTION] Why a request failed, and a request that waits

// A slot's last failure, as the log and the installer's screen tell it.
struct net_failure_struct {
    std::string reason;   // the text after "HTTP failed: "; empty: no failure
    std::string server;   // the host the request was for
    bool reached = false; // something answered: the fault is in the reply
    int file_error = 0;   // errno of a local file that could not be made or written
};

// A running request that has heard nothing from its peer for a while.
struct net_wait_struct {
    float secs = 0;          // clock seconds since it started or last received a byte
    std::string server;      // the host the request is for
    std::string proxy;       // "host port N" when it goes through a proxy, else ""
    bool connecting = false; // the connection is not made yet
};

// ---------------------------------------------------------------------------
// [SECTION] One request with its reply

class down_class
{
  public:
    // Looks the host up (blocking) and starts a non-blocking connect.
    down_class(const char* server, unsigned short port, const char* path, bool post,
               const std::map<std::string, std::string>& headers, const char* body, int body_length,
               const char* local_file);
    ~down_class();
    down_class(const down_class&) = delete;
    down_class& operator=(const down_class&) = delete;

    // One non-blocking step of the transfer.
    int DoProcessing();

    bool IsDone();     // a socket exists and it is closed
    bool IsComplete(); // bytes written == content length
    bool IsErr();      // error set, no socket, or socket error
    int GetStat();     // kStat*
    int GetOSErr();

    // Flushes and closes the output file; keeps the first error. Returns the
    // request's error (0 when the file is safely on disk).
    int CloseFile();
    // True when this request created or emptied its local file.
    bool OpenedFile() const { return opened_file; }

    const std::string& GetLocalPath() const { return local_path; }
    const std::string& GetReason() const { return head.reason; }
    // Why the request failed where that was found (a reply that cannot be
    // read, a file that cannot be written, ...); "" otherwise.
    const std::string& GetFailure() const { return failure; }
    // errno of the local file's failure (ENOSPC: the disk is full); 0 when
    // the file did not fail.
    int GetFileError() const { return file_error; }
    // Why the finished request failed, for the log and the screen: the
    // failure above, else what its socket, status or time-out tells.
    std::string FailureReason();
    // Records that nothing came for the idle time, by how far it got.
    void TimedOut();
    // The lookup's log line when the host was not found; "" otherwise.
    const std::string& GetLookupNote() const { return lookup_note; }
    int GetStatusCode() const { return head.status; }
    float GetLastActivity() const { return last_activity; }
    // Clock seconds at creation and at every read that brought bytes (head
    // included): how long the peer has been silent.
    float GetLastByte() const { return last_byte; }
    // "host port N" when the request goes through a proxy, else "".
    const std::string& GetProxy() const { return proxy; }
    const std::string& GetServer() const { return server_name; }
    bool HeardFromPeer() const { return heard; }
    // The connection whose closing by the server would end the reply (its
    // data then all waits here), to be watched until it gives a first sign;
    // -1 when there is none left to watch.
    int EndWatch() const;
    void EndNoticed() { end_noticed = true; }

    // Read by the installer to show progress.
    int64_t cont_len = -1;     // -1 until the head gives "Content-Length"
    int64_t bytes_written = 0; // body bytes handed to the output file

  private:
    void set_error(int err);
    // Ends a request that cannot succeed any more: records why, closes the
    // connection and the output file.
    void fail(int err, const std::string& why);
    void peer_closed();
    // A local file error: keeps the first error and says what failed.
    void file_failed(const char* what, int err);

    DUZOSocket* socket = nullptr; // null when the host did not resolve
    std::vector<char> send_buf;   // request bytes not yet taken
    std::vector<char> recv_buf;   // unparsed head text, then body bytes
    http_head_struct head;
    FILE* out_file = nullptr;
    std::string local_path;
    std::string failure;
    std::string lookup_note;
    std::string server_name;
    std::string proxy;
    int error = 0;
    int file_error = 0;
    bool opened_file = false;
    bool heard = false;       // a byte came from the peer
    bool end_noticed = false; // the connection gave a sign while watched
    float last_activity = 0;
    float last_byte = 0;
};

// ---------------------------------------------------------------------------
// [SECTION] The download slots

class http_class
{
  public:
    // True when requests to host go through the proxy (port plays no part).
    bool UseProxy(const char* host, unsigned short port);
    // Where a request to server:port connects: the proxy when UseProxy says
    // so, else server and port unchanged.
    const char* ProxyHost(const char* server, unsigned short port);
    unsigned short ProxyPort(const char* server, unsigned short port);
    // Why a set proxy cannot be used: its port is not 1 to 65535 (a port
    // text that is no number stores -1 and is named as not a number, a larger
    // one would wrap onto some other port). Such a request fails at once; ""
    // when the proxy is usable or not set.
    std::string ProxyPortError() const;

    // server: bare host; path: starts with '/'; local: file for the body.
    // no_cache (kNetNoCache) asks caches on the way for a fresh copy; only
    // the call that starts a request reads it.
    // Returns kNetRunning, kNetComplete or kNetFailed.
    int net_check(int slot, std::string server, std::string path, const std::string& local,
                  bool no_cache = false);

    // Stops the slot's request: closes its socket and output file, removes
    // the partial file it created, and frees the slot. Returns 1 when a
    // request was stopped, 0 when the slot was free.
    int net_cancel(int slot);

    // Why the slot's last request failed; an empty reason when it has not
    // failed since its last success.
    const net_failure_struct& LastFailure(int slot) const;
    // The slot's running request: how long its peer has been silent (secs
    // 0 when the slot is free).
    net_wait_struct Waiting(int slot);
    // The frame's wait also ends when a server closes a running request's
    // connection (the reply has all come, or it failed), so a finished
    // download is taken up at once instead of after the rest of the wait.
    // Fills at most max entries (events: the peer's closing) and returns
    // their number; after the wait, EndsNoticed stops watching those that
    // gave any sign. Each connection wakes the wait at most once, so one
    // nobody polls cannot keep the frame from waiting.
    int EndWatch(pollfd* fds, int max);
    void EndsNoticed(const pollfd* fds, int n);
    // Writes the counts of failures not written yet; the shutdown calls it.
    void LogRepeats();
    // Forgets the failures of every slot without writing anything.
    void ForgetFailures();

    std::string _proxy_host; // preference "_proxy_host"; empty: no proxy
    std::string _proxy_port; // preference "_proxy_port", as typed
    int _proxy_port_int = 0; // preference "_proxy_port_int"; 0: no proxy
    down_class* slot[kNetSlots] = {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};

  private:
    // A failure is written to the log (reason line and error block) when
    // its reason differs from the slot's last written one; a repeat is only
    // counted, and the count is written when the reason changes, the slot
    // succeeds or the program ends. A dead network then costs a few lines
    // an hour, not a block a second.
    void report_failure(int which, down_class* req, const std::string& local,
                        const std::string& server, const std::string& path);
    void report_success(int which);
    void log_repeats(int which);

    net_failure_struct last_failure[kNetSlots];
    std::string logged_reason[kNetSlots];         // the reason last written, per slot
    long repeats[kNetSlots] = {0, 0, 0, 0, 0, 0}; // repeats of it not written yet
};

// Stands in for printf where debugging output is switched off: writes
// nothing and returns 0.
int printf_null(const char* format, ...);

// The global instance `http` and gProxyExclude (host suffixes that bypass the
// proxy; nothing adds to it) live in hl_types.
