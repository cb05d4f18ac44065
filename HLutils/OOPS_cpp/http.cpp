// The HTTP/1.1 download client.
//
// Index: reply head parser; down_class (construction, one step, queries);
// http_class (proxy rule, net_check, net_cancel); printf_null.
//
// One request per connection, the request sent as one prepared byte string,
// no redirects, no chunked bodies: the end of a body is known only from
// "Content-Length". A reply that cannot be read that way, or a connection
// the peer closes too early, fails at once with its reason in the log
// instead of waiting for the idle time-out. Nothing blocks except the
// host-name lookup.
#include "OOPS_cpp/http.h"

#include <errno.h>
#include <strings.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <cstring>

#include "Files/io_utils.h"
#include "GenH/hl_report.h"
#include "GenH/hl_string.h"
#include "GenH/hl_types.h"
#include "UTL/UTL_time.h"
#include "platform/DUZOSocket.h"

// ---------------------------------------------------------------------------
// [SECTION] Reply head parser

bool http_name_less::operator()(const std::string& a, const std::string& b) const
{
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i) {
        const int ca = tolower((unsigned char)a[i]), cb = tolower((unsigned char)b[i]);
        if (ca != cb) return ca < cb;
    }
    return a.size() < b.size();
}

namespace
{

bool is_blank(char c)
{
    return c == ' ' || c == '\t';
}

bool is_control(char c)
{
    const unsigned char u = (unsigned char)c;
    return u < 0x20 || u == 0x7f;
}

bool is_digit(char c)
{
    return c >= '0' && c <= '9';
}

// A reply's text in a reason: visible, and short even when the line is not.
std::string shown(const std::string& text)
{
    constexpr std::size_t kMax = 80;
    if (text.size() <= kMax) return http_visible(text);
    return http_visible(text.substr(0, kMax)) + "...";
}

// "HTTP/1.1 200 OK", and also "HTTP/1.1 200 " and "HTTP/1.1 200": the
// reason phrase may be empty (RFC 9112, section 4), and the blank before it
// is often left out then. The code is three digits, never more: "2000"
// must not pass for 200.
bool is_status_line(const char* line, std::size_t len)
{
    return len >= 12 && strncmp(line, "HTTP/", 5) == 0 && is_digit(line[5]) && line[6] == '.' &&
           is_digit(line[7]) && line[8] == ' ' && is_digit(line[9]) && is_digit(line[10]) &&
           is_digit(line[11]) && (len == 12 || line[12] == ' ');
}

// "Name: value", the blanks around the value optional (RFC 9112, section
// 5): "Content-Length:1000" and a tab are what some servers send.
void parse_header(const char* line, std::size_t len, http_head_struct& head)
{
    const char* colon = (const char*)memchr(line, ':', len);
    if (colon == nullptr || colon == line) return;
    std::string name(line, colon);
    for (char c : name)
        if (is_blank(c)) return; // "Name :" is no header
    const char* value = colon + 1;
    const char* end = line + len;
    while (value < end && is_blank(*value))
        ++value;
    while (end > value && is_blank(end[-1]))
        --end;
    std::string text(value, end);
    // emplace keeps the first value of a repeated name; a length that
    // differs from it leaves the body's end unknown.
    auto it = head.headers.emplace(name, text);
    if (!it.second && head.length_conflict.empty() && it.first->second != text &&
        strcasecmp(name.c_str(), "Content-Length") == 0)
        head.length_conflict = text;
}

void parse_line(const char* line, std::size_t len, http_head_struct& head)
{
    if (is_status_line(line, len)) {
        head.status = (line[9] - '0') * 100 + (line[10] - '0') * 10 + (line[11] - '0');
        if (len > 13)
            head.reason.assign(line + 13, len - 13);
        else
            head.reason.clear();
        return;
    }
    // No header name holds a '/': such a line was meant as a status line.
    if (len >= 5 && strncmp(line, "HTTP/", 5) == 0) {
        if (head.bad_status_line.empty()) head.bad_status_line.assign(line, len);
        return;
    }
    parse_header(line, len, head);
}

} // namespace

int http_parse_head(std::vector<char>& buf, http_head_struct& head)
{
    std::size_t pos = 0; // start of the unparsed text
    const std::size_t n = buf.size();
    while (!head.done && n - pos >= 2) {
        // A line ends with CRLF; a bare LF does not end one.
        std::size_t i = pos + 1;
        while (i < n && !(buf[i] == '\n' && buf[i - 1] == '\r'))
            ++i;
        if (i >= n) break;
        const char* line = buf.data() + pos;
        std::size_t len = i - 1 - pos;
        pos = i + 1;
        if (len == 0) {
            if (head.status > 199) {
                head.done = true;
            } else {
                // End of an interim (1xx) reply: its headers do not describe
                // the final reply, and the final reply may already be in the
                // buffer, so parsing goes on.
                head.headers.clear();
                head.length_conflict.clear();
            }
        } else {
            parse_line(line, len, head);
        }
    }
    head.head_bytes += pos;
    buf.erase(buf.begin(), buf.begin() + (std::ptrdiff_t)pos);
    // A head without end must not grow memory until the idle time-out.
    if (!head.done && head.head_bytes + buf.size() > kNetMaxHeadBytes) return kErrNetBadState;
    return 0;
}

int64_t http_content_length(const http_header_map& headers)
{
    auto it = headers.find("Content-Length");
    if (it == headers.end()) return -1;
    const std::string& text = it->second;
    std::size_t i = 0, n = text.size();
    while (i < n && is_blank(text[i]))
        ++i;
    while (n > i && is_blank(text[n - 1]))
        --n;
    if (i == n) return kNetLengthInvalid;
    int64_t length = 0;
    for (; i < n; ++i) {
        if (!is_digit(text[i])) return kNetLengthInvalid;
        const int digit = text[i] - '0';
        if (length > (INT64_MAX - digit) / 10) return kNetLengthInvalid;
        length = length * 10 + digit;
    }
    return length;
}

std::string http_unreadable_reply(const http_head_struct& head)
{
    auto te = head.headers.find("Transfer-Encoding");
    if (te != head.headers.end()) {
        std::string coding;
        for (char c : te->second)
            if (c != ' ' && c != '\t') coding += (char)tolower((unsigned char)c);
        if (coding != "identity")
            return "the reply's body comes as \"Transfer-Encoding: " + te->second +
                   "\", which this client cannot read";
    }
    const char* const kEndUnknown = ", so the end of its body cannot be known";
    if (!head.length_conflict.empty())
        return "the reply gives two different \"Content-Length\" values (" +
               shown(head.headers.find("Content-Length")->second) + " and " +
               shown(head.length_conflict) + ")" + kEndUnknown;
    if (http_content_length(head.headers) == kNetLengthInvalid)
        return "the reply's \"Content-Length: " +
               shown(head.headers.find("Content-Length")->second) + "\" is not a number of bytes" +
               kEndUnknown;
    // No request asks for a range, so a part is never what was wanted.
    if (head.status == 206)
        return "the reply holds only part of the file (206) where the whole file was asked for";
    if (head.status >= 200 && head.status <= 299 && http_content_length(head.headers) < 0)
        return "the reply (" + std::to_string(head.status) + ") has no \"Content-Length\"" +
               kEndUnknown;
    return "";
}

bool http_sendable_server(const std::string& server)
{
    for (char c : server)
        if (is_blank(c) || is_control(c)) return false;
    return true;
}

bool http_sendable_path(const std::string& path)
{
    for (char c : path)
        if (is_control(c)) return false;
    return true;
}

std::string http_visible(const std::string& text)
{
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (char c : text) {
        if (!is_control(c)) {
            out += c;
            continue;
        }
        const unsigned char u = (unsigned char)c;
        out += "\\x";
        out += kHex[u >> 4];
        out += kHex[u & 15];
    }
    return out;
}

// ---------------------------------------------------------------------------
// [SECTION] down_class

namespace
{
// Every read lands here first and is copied out at once; steps of all
// requests run one after another on the main thread.
char readChunk[kNetReadChunk];
} // namespace

down_class::down_class(const char* server, unsigned short port, const char* path, bool post,
                       const std::map<std::string, std::string>& headers, const char* body,
                       int body_length, const char* local_file)
{
    last_activity = last_byte = xtim.real_secs;
    if (local_file != nullptr) local_path = app_path + local_file;

    std::string host = server ? server : "";
    server_name = host;
    // Names come from lists the servers send: one that would break the
    // request line is refused before anything is looked up or sent.
    if (!http_sendable_server(host)) {
        failure = "the server name \"" + http_visible(host) +
                  "\" holds a blank or a control character, so no request is made for it";
        error = EINVAL;
        return;
    }
    if (!http_sendable_path(path ? path : "")) {
        failure = "the path \"" + http_visible(path) +
                  "\" holds a control character, so no request is made for it";
        error = EINVAL;
        return;
    }
    unsigned short target_port = port;
    const bool proxied = http.UseProxy(host.c_str(), port);
    if (proxied && !http.ProxyPortError().empty()) {
        failure = http.ProxyPortError();
        error = EINVAL;
        return;
    }
    if (proxied) {
        host = http._proxy_host;
        target_port = (unsigned short)http._proxy_port_int;
        proxy = host + " port " + std::to_string(target_port);
    }

    unsigned long address = DUZOSocket::LookupAddress(host.c_str());
    if (address == 0) {
        // Names the requested server and port, even when the proxy was looked
        // up. The slot writes it with the failure, so a repeat costs nothing.
        lookup_note = "Translated server " + std::string(server ? server : "") +
                      " to IP addy: 0.0.0.0 and port = " + std::to_string(port) + "\n";
        error = kErrNetNoServer;
        return;
    }

    head.status = -1;
    socket = new DUZOSocket(0, false);
    socket->Connect(address, target_port);

    std::string req = post ? "POST " : "GET ";
    if (proxied) {
        auto h = headers.find("Host");
        req += "http://";
        if (h != headers.end()) req += h->second;
    }
    for (const char* p = path ? path : ""; *p; ++p) {
        if (*p == ' ')
            req += "%20";
        else
            req += *p;
    }
    req += " HTTP/1.1\r\n";
    for (const auto& h : headers)
        req += h.first + ": " + h.second + "\r\n";
    if (body != nullptr && body_length > 0)
        req += "Content-Length: " + std::to_string(body_length) + "\r\n";
    req += "\r\n";
    if (body != nullptr && body_length > 0) req.append(body, (std::size_t)body_length);
    send_buf.assign(req.begin(), req.end());
}

down_class::~down_class()
{
    if (out_file != nullptr) fclose(out_file);
    delete socket;
}

void down_class::set_error(int err)
{
    if (error == 0) error = err != 0 ? err : kErrNetWriteFile;
}

int down_class::CloseFile()
{
    if (out_file != nullptr) {
        // Buffered bytes only reach the disk here: a full disk shows up now.
        if (fclose(out_file) != 0) file_failed("cannot be written", errno);
        out_file = nullptr;
    }
    return error;
}

void down_class::file_failed(const char* what, int err)
{
    if (file_error == 0) file_error = err;
    set_error(err);
    if (failure.empty())
        failure = "the file " + local_path + " " + what + " (" + error_str(error) + ")";
}

void down_class::fail(int err, const std::string& why)
{
    if (failure.empty()) failure = why;
    if (err != 0) set_error(err);
    recv_buf.clear();
    socket->Disconnect();
    CloseFile();
}

void down_class::peer_closed()
{
    // The body so far: written, or still held when there is no output file.
    const int64_t body = head.done ? bytes_written + (int64_t)recv_buf.size() : 0;
    std::string why;
    if (!head.done && head.head_bytes + recv_buf.size() == 0)
        why = "the connection was closed before any reply";
    else if (!head.done)
        why = "the connection was closed before the end of the reply's head";
    else if (cont_len >= 0)
        why = "the connection was closed after " + std::to_string(body) + " of " +
              std::to_string(cont_len) + " body bytes";
    else
        why = "the connection was closed after " + std::to_string(body) +
              " body bytes of a reply without \"Content-Length\"";
    fail(0, why);
}

int down_class::DoProcessing()
{
    if (socket == nullptr) return 0;

    int st = socket->GetStatus();
    if (st == kSockClosed || st == kSockError) {
        CloseFile();
        return 0;
    }
    if (st == kSockIdle || st == kSockConnecting) return 0;

    if (!send_buf.empty()) {
        long n = socket->http_WriteData(send_buf.data(), (long)send_buf.size());
        if (n > 0) send_buf.erase(send_buf.begin(), send_buf.begin() + n);
    }

    long got = socket->ReadData(readChunk, kNetReadChunk);
    if (got > 0) {
        heard = true;
        last_byte = xtim.real_secs;
    }
    if (got <= 0) {
        // A complete body has already disconnected, so an end of stream on
        // a live connection means the reply can never be completed. (A
        // refused or reset one is closed already and needs no reason.)
        if (got == 0 && socket->ReceivedRelease() && socket->GetStatus() == kSockConnected)
            peer_closed();
        return 0;
    }
    recv_buf.insert(recv_buf.end(), readChunk, readChunk + got);

    if (!head.done) {
        int err = http_parse_head(recv_buf, head);
        if (err != 0) {
            fail(err,
                 "the reply's head is longer than " + std::to_string(kNetMaxHeadBytes) + " bytes");
            return 0;
        }
        if (!head.bad_status_line.empty()) {
            fail(kErrNetBadState,
                 "the reply's status line \"" + shown(head.bad_status_line) + "\" is not valid");
            return 0;
        }
        if (!head.done) return 0;
        // End of a final reply's head. One that cannot be read fails before
        // the local file is touched.
        const std::string why = http_unreadable_reply(head);
        if (!why.empty()) {
            fail(kErrNetBadState, why);
            return 0;
        }
        if (!local_path.empty()) {
            out_file = fopen(local_path.c_str(), "wb");
            if (out_file == nullptr) {
                file_failed("cannot be created", errno);
            } else {
                opened_file = true;
                // Each step writes one whole read: through the stream's
                // small buffer that would take two system calls, unbuffered
                // it takes one, and a failed write shows at once.
                setvbuf(out_file, nullptr, _IONBF, 0);
            }
        }
        cont_len = http_content_length(head.headers);
    }

    last_activity = xtim.real_secs;
    if (cont_len != -1 && (int64_t)recv_buf.size() + bytes_written >= cont_len)
        socket->Disconnect();
    if (out_file != nullptr && !recv_buf.empty()) {
        last_activity = xtim.real_secs;
        // The file gets the announced length and no more: bytes past it are
        // not part of this reply, and a server that sends them is broken.
        std::size_t take = recv_buf.size();
        if (cont_len != -1 && bytes_written + (int64_t)take > cont_len)
            take = (std::size_t)(cont_len - bytes_written);
        const bool surplus = take < recv_buf.size();
        bytes_written += (int64_t)take;
        if (take > 0 && fwrite(recv_buf.data(), 1, take, out_file) != take)
            file_failed("cannot be written", errno);
        recv_buf.clear();
        if (surplus)
            fail(kErrNetBadState, "the reply's body is longer than its \"Content-Length\" of " +
                                      std::to_string(cont_len) + " bytes");
    }
    return 0;
}

namespace
{

// What ended a connection. subject: "the connection", or the connection to
// the proxy when the request went through one.
std::string connection_reason(const std::string& subject, int err)
{
    switch (err) {
    case ECONNREFUSED:
        return subject + " was refused";
    case ECONNRESET:
        return subject + " was reset";
    case ECONNABORTED:
        return subject + " was aborted";
    case ETIMEDOUT:
        return subject + " timed out";
    case ENETRESET:
        return subject + " was dropped by the network";
    case ENETUNREACH:
    case ENETDOWN:
        return subject + " failed: the network cannot be reached";
    case EHOSTUNREACH:
        return subject + " failed: the host cannot be reached";
    case 0:
        return subject + " was closed";
    default:
        return subject + " failed (" + error_str(err) + ")";
    }
}

std::string whole_secs(float secs)
{
    return std::to_string((long)secs);
}

} // namespace

void down_class::TimedOut()
{
    if (!failure.empty()) return;
    const std::string idle = whole_secs(kNetIdleSecs) + " seconds";
    switch (GetStat()) {
    case kStatConnecting:
        failure = (proxy.empty() ? std::string("the connection")
                                 : "the connection to the proxy " + proxy) +
                  " got no answer within " + idle;
        break;
    case kStatBody:
        failure = "the reply's body stopped coming for " + idle;
        break;
    default:
        failure = "no reply came within " + idle;
        break;
    }
}

std::string down_class::FailureReason()
{
    if (!failure.empty()) return failure;
    if (error == kErrNetNoServer)
        return proxy.empty() ? "the name lookup failed"
                             : "the name lookup of the proxy " + proxy + " failed";
    if (error != 0) return "the request failed (" + error_str(error) + ")";
    if (socket == nullptr) return "no connection could be made";
    const std::string subject =
        proxy.empty() ? std::string("the connection") : "the connection to the proxy " + proxy;
    const int st = socket->GetStatus();
    if (st == kSockError) return connection_reason(subject, socket->GetOSError());
    if (head.done && (head.status < 200 || head.status > 299))
        return "the server answered " + std::to_string(head.status) +
               (head.reason.empty() ? "" : " " + head.reason);
    if (st == kSockClosed && socket->GetCloseError() != 0)
        return connection_reason(subject, socket->GetCloseError());
    if (!head.done) return subject + " ended before a reply";
    return "the connection ended after " + std::to_string(bytes_written) + " of " +
           std::to_string(cont_len) + " body bytes";
}

bool down_class::IsDone()
{
    return socket != nullptr && socket->GetStatus() == kSockClosed;
}

bool down_class::IsComplete()
{
    return cont_len == bytes_written;
}

bool down_class::IsErr()
{
    return error != 0 || socket == nullptr || socket->GetStatus() == kSockError;
}

int down_class::GetStat()
{
    if (socket == nullptr) return kStatNoSocket;
    switch (socket->GetStatus()) {
    case kSockConnecting:
        return kStatConnecting;
    case kSockError:
        return kStatSocketError;
    case kSockClosed:
        return kStatClosed;
    default:
        break;
    }
    if (!send_buf.empty()) return kStatSending;
    return head.done ? kStatBody : kStatWaitHead;
}

int down_class::GetOSErr()
{
    if (error != 0) return error;
    if (socket == nullptr) return kErrNetAlloc;
    return socket->GetOSError();
}

int down_class::EndWatch() const
{
    if (socket == nullptr || end_noticed || socket->ReceivedRelease()) return -1;
    const int st = socket->LastStatus();
    if (st == kSockClosed || st == kSockError) return -1;
    return socket->GetDescriptor();
}

// ---------------------------------------------------------------------------
// [SECTION] http_class

namespace
{
// Place names of the fatal alerts of net_check.
const char* const kHttpSource = "HLutils/OOPS_cpp/http";
constexpr int kLineBadSlot = 232;
constexpr int kLineServerSlash = 247;
constexpr int kLinePathSlash = 248;
constexpr int kLineCancelSlot = 300;

void check_slot(int which, int line)
{
    if (which < 0 || which >= kNetSlots)
        __VOVARU_alert(0, "Too many download objects requested!", "", "", "", t_exit, kHttpSource,
                       line);
}

void log_error_block(down_class* req, const std::string& local, const std::string& server,
                     const std::string& path)
{
    xer << "HTTP Error for " << local << "\n";
    xer << "   server     =" << http_visible(server) << "\n";
    xer << "   file       =" << http_visible(path) << "\n";
    xer << "   IsDone     =" << (req->IsDone() ? 1 : 0) << "\n";
    xer << "   IsComplete =" << (req->IsComplete() ? 1 : 0) << "\n";
    xer << "   IsErr      =" << (req->IsErr() ? 1 : 0) << "\n";
    xer << "   GetStat    =" << req->GetStat() << "\n";
    xer << "   GetOSErr   =" << req->GetOSErr() << "\n";
    xer << "   response   =" << req->GetReason() << " (#" << req->GetStatusCode() << ")\n\n";
}
} // namespace

bool http_class::UseProxy(const char* host, unsigned short port)
{
    if (_proxy_port_int == 0 || _proxy_host.empty()) return false;
    if (host == nullptr) host = ""; // memcmp must not see a null pointer
    const std::size_t hl = strlen(host);
    for (const std::string& suffix : gProxyExclude) {
        if (suffix.size() <= hl &&
            memcmp(host + hl - suffix.size(), suffix.data(), suffix.size()) == 0)
            return false;
    }
    return true;
}

const char* http_class::ProxyHost(const char* server, unsigned short port)
{
    return UseProxy(server, port) ? _proxy_host.c_str() : server;
}

std::string http_class::ProxyPortError() const
{
    if (_proxy_port_int == 0 || _proxy_host.empty()) return "";
    if (_proxy_port_int >= 1 && _proxy_port_int <= 65535) return "";
    static const char* const kAdvice =
        ", so I send nothing through the proxy. Please set the proxy port in the preferences.";
    // -1 is also what a typed text that does not read as a number becomes:
    // then the text is what the user must see, not the -1.
    std::string port = std::to_string(_proxy_port_int);
    if (_proxy_port_int == -1 && !_proxy_port.empty() && str_to_int(_proxy_port) == -1) {
        const size_t sign = _proxy_port[0] == '+' || _proxy_port[0] == '-' ? 1 : 0;
        if (_proxy_port.size() == sign ||
            _proxy_port.find_first_not_of("0123456789", sign) != std::string::npos)
            return "The proxy port '" + _proxy_port + "' is not a number" + kAdvice;
        port = _proxy_port; // digits, too many of them
    }
    return "The proxy port " + port + " is not a port number (1 to 65535)" + kAdvice;
}

unsigned short http_class::ProxyPort(const char* server, unsigned short port)
{
    return UseProxy(server, port) ? (unsigned short)_proxy_port_int : port;
}

int http_class::net_check(int which, std::string server, std::string path, const std::string& local,
                          bool no_cache)
{
    check_slot(which, kLineBadSlot);
    if (which < 0 || which >= kNetSlots) return kNetFailed; // only when the alert returns (tests)

    static int inited_any = 0;
    static int soc_inited = 0;
    if (!inited_any) {
        inited_any = 1;
        for (auto& s : slot)
            s = nullptr;
        if (!soc_inited) {
            DUZOSocket::StartupNetworking(ot_inited == 0);
            ot_inited = 1;
            soc_inited = 1;
        }
    }

    if (slot[which] == nullptr) {
        if (!server.empty() && server.back() == '/') {
            __VOVARU_alert(
                0, "net_check error! You have a dirchar at the end of the server name!",
                "You should not!",
                "Our convention is that a server name is simply a server name... with no slash!",
                server, t_exit, kHttpSource, kLineServerSlash);
            return kNetFailed;
        }
        if (path.empty() || path[0] != '/') {
            __VOVARU_alert(0,
                           "net_check error! You do not have a dirchar at the beginning of the "
                           "directory name!",
                           "You should!",
                           "Our convention is that a directory name does start with a slash "
                           "because it must include the hard drive,which is a dir char on unix!",
                           path, t_exit, kHttpSource, kLinePathSlash);
            return kNetFailed;
        }
        const std::string& release = build_name[0];
        std::string agent = "Installer-";
        agent += "LIN/";
        agent += release.substr(release.size() >= 4 ? release.size() - 4 : 0);
        std::map<std::string, std::string> headers;
        headers["Host"] = server;
        headers["User-agent"] = agent;
        headers["Connection"] = "close";
        if (no_cache) {
            headers["Cache-Control"] = "no-cache";
            headers["Pragma"] = "no-cache"; // for HTTP/1.0 caches
        }
        slot[which] = new down_class(server.c_str(), kNetHttpPort, path.c_str(), false, headers,
                                     nullptr, 0, local.c_str());
    }

    down_class* req = slot[which];
    req->DoProcessing();

    const bool finished = req->IsDone() || req->IsComplete() || req->IsErr();
    if (!finished) {
        if (xtim.real_secs - req->GetLastActivity() > kNetIdleSecs) {
            req->TimedOut();
            report_failure(which, req, local, server, path);
            delete req;
            slot[which] = nullptr;
            return kNetFailed;
        }
        return kNetRunning;
    }

    const int code = req->GetStatusCode();
    if (code >= 200 && code <= 299 && req->IsComplete() && !req->IsErr()) {
        // The answer is 1 only once the file is safely closed.
        if (req->CloseFile() == 0) {
            delete req;
            slot[which] = nullptr;
            report_success(which);
            return kNetComplete;
        }
    }
    report_failure(which, req, local, server, path);
    delete req;
    slot[which] = nullptr;
    return kNetFailed;
}

void http_class::report_failure(int which, down_class* req, const std::string& local,
                                const std::string& server, const std::string& path)
{
    net_failure_struct& f = last_failure[which];
    f.reason = req->FailureReason();
    f.server = server;
    f.reached = req->HeardFromPeer();
    f.file_error = req->GetFileError();
    if (f.reason == logged_reason[which]) {
        ++repeats[which];
        return;
    }
    log_repeats(which);
    xer << req->GetLookupNote() << "HTTP failed: " << f.reason << "\n";
    log_error_block(req, local, server, path);
    // The log is read while the program runs, and a killed run keeps it.
    xer.flush();
    logged_reason[which] = f.reason;
}

void http_class::report_success(int which)
{
    log_repeats(which);
    logged_reason[which].clear();
    last_failure[which] = net_failure_struct();
}

void http_class::log_repeats(int which)
{
    if (repeats[which] == 0) return;
    xer << "HTTP failed " << repeats[which] << (repeats[which] == 1 ? " more time" : " more times")
        << " on slot " << which << " for the same reason: " << logged_reason[which] << "\n";
    xer.flush();
    repeats[which] = 0;
}

void http_class::LogRepeats()
{
    for (int i = 0; i < kNetSlots; ++i)
        log_repeats(i);
}

void http_class::ForgetFailures()
{
    for (int i = 0; i < kNetSlots; ++i) {
        last_failure[i] = net_failure_struct();
        logged_reason[i].clear();
        repeats[i] = 0;
    }
}

const net_failure_struct& http_class::LastFailure(int which) const
{
    static const net_failure_struct none;
    if (which < 0 || which >= kNetSlots) return none;
    return last_failure[which];
}

net_wait_struct http_class::Waiting(int which)
{
    net_wait_struct w;
    if (which < 0 || which >= kNetSlots || slot[which] == nullptr) return w;
    down_class* req = slot[which];
    w.secs = xtim.real_secs - req->GetLastByte();
    if (w.secs < 0) w.secs = 0;
    w.server = req->GetServer();
    w.proxy = req->GetProxy();
    w.connecting = req->GetStat() == kStatConnecting;
    return w;
}

int http_class::EndWatch(pollfd* fds, int max)
{
    int n = 0;
    for (down_class* req : slot) {
        if (req == nullptr || n >= max) continue;
        const int fd = req->EndWatch();
        if (fd < 0) continue;
        fds[n].fd = fd;
        fds[n].events = POLLRDHUP;
        fds[n].revents = 0;
        ++n;
    }
    return n;
}

void http_class::EndsNoticed(const pollfd* fds, int n)
{
    for (int i = 0; i < n; ++i) {
        if (fds[i].revents == 0) continue;
        for (down_class* req : slot)
            if (req != nullptr && req->EndWatch() == fds[i].fd) req->EndNoticed();
    }
}

int http_class::net_cancel(int which)
{
    check_slot(which, kLineCancelSlot);
    if (which < 0 || which >= kNetSlots || slot[which] == nullptr) return 0;
    down_class* req = slot[which];
    slot[which] = nullptr;
    const std::string partial = req->OpenedFile() ? req->GetLocalPath() : std::string();
    delete req; // closes the socket and the file
    if (!partial.empty()) unlink(partial.c_str());
    return 1;
}

int printf_null(const char*, ...)
{
    return 0;
}
