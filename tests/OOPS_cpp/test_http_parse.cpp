// The reply head parser, fed from bytes in hand (no socket).
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "OOPS_cpp/http.h"

namespace
{

struct Parsed {
    http_head_struct head;
    std::string rest; // what stays in the buffer (the body so far)
    int err = 0;
};

http_head_struct fresh_head()
{
    http_head_struct h;
    h.status = -1; // as once a socket exists
    return h;
}

Parsed parse_whole(const std::string& bytes)
{
    Parsed p;
    p.head = fresh_head();
    std::vector<char> buf(bytes.begin(), bytes.end());
    p.err = http_parse_head(buf, p.head);
    p.rest.assign(buf.begin(), buf.end());
    return p;
}

// Feeds one byte at a time, as a peer that splits at every byte would.
Parsed parse_bytewise(const std::string& bytes)
{
    Parsed p;
    p.head = fresh_head();
    std::vector<char> buf;
    for (char c : bytes) {
        buf.push_back(c);
        if (!p.head.done) p.err = http_parse_head(buf, p.head);
        if (p.err) break;
    }
    p.rest.assign(buf.begin(), buf.end());
    return p;
}

} // namespace

TEST(HttpParse, Table)
{
    struct Case {
        const char* name;
        std::string bytes;
        bool done;
        int status;
        const char* reason;
        int64_t length;
        const char* rest;
    } cases[] = {
        {"plain 200", "HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nabc", true, 200, "OK", 3, "abc"},
        {"long reason", "HTTP/1.0 404 Not Found\r\n\r\n", true, 404, "Not Found", -1, ""},
        // The reason phrase may be empty, with or without its blank.
        {"empty reason phrase", "HTTP/1.1 200 \r\nContent-Length: 1\r\n\r\nx", true, 200, "", 1,
         "x"},
        {"no reason and no blank", "HTTP/1.1 404\r\n\r\n", true, 404, "", -1, ""},
        {"empty reason after a reason", "HTTP/1.1 301 Moved\r\nHTTP/1.1 200\r\n\r\n", true, 200, "",
         -1, ""},
        {"short line without a code is no status line", "HTTP/1.1 2x0\r\n\r\n", false, -1, "", -1,
         ""},
        {"too short for a code", "HTTP/1.1 20\r\n\r\n", false, -1, "", -1, ""},
        // Of two values the first is kept; that they differ makes the reply
        // unreadable (see UnreadableReplies).
        {"first Content-Length counts",
         "HTTP/1.1 200 OK\r\nContent-Length: 5\r\nContent-Length: 9\r\n\r\n", true, 200, "OK", 5,
         ""},
        // Names in any letter case (haproxy sends them in lower case).
        {"lower-case name", "HTTP/1.1 200 OK\r\ncontent-length: 5\r\n\r\n", true, 200, "OK", 5, ""},
        {"mixed-case name", "HTTP/1.1 200 OK\r\nCONTENT-length: 7\r\n\r\n", true, 200, "OK", 7, ""},
        {"first of two spellings counts",
         "HTTP/1.1 200 OK\r\ncontent-length: 5\r\nContent-Length: 9\r\n\r\n", true, 200, "OK", 5,
         ""},
        {"bare LF does not end a line", "HTTP/1.1 200 OK\nContent-Length: 5\r\n\r\n", true, 200,
         "OK\nContent-Length: 5", -1, ""},
        // Blanks around a value are optional; a line without a colon is no
        // header, nor is a name with a blank before its colon.
        {"no blank after the colon", "HTTP/1.1 200 OK\r\nContent-Length:5\r\nJunk\r\n\r\nx", true,
         200, "OK", 5, "x"},
        {"tab after the colon", "HTTP/1.1 200 OK\r\nContent-Length:\t7\r\n\r\n", true, 200, "OK", 7,
         ""},
        {"blanks around the value", "HTTP/1.1 200 OK\r\nContent-Length:  7 \t\r\n\r\n", true, 200,
         "OK", 7, ""},
        {"blank before the colon", "HTTP/1.1 200 OK\r\nContent-Length : 7\r\n\r\n", true, 200, "OK",
         -1, ""},
        // A status code is three digits, then the end of the line or a blank.
        {"four-digit code is no status line", "HTTP/1.1 2000 Weird\r\nContent-Length: 5\r\n\r\n",
         false, -1, "", -1, ""},
        {"code run into the reason is no status line", "HTTP/1.1 200OK\r\n\r\n", false, -1, "", -1,
         ""},
        {"head not finished yet", "HTTP/1.1 200 OK\r\nContent-Len", false, 200, "OK", -1,
         "Content-Len"},
        {"later status line overwrites",
         "HTTP/1.1 301 Moved\r\nHTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n", true, 200, "OK", 0,
         ""},
        // An interim reply and the final one in one read: parsing goes on
        // past the interim reply's blank line.
        {"interim 100 then final",
         "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nhi", true, 200,
         "OK", 2, "hi"},
        {"interim headers do not leak into the final reply",
         "HTTP/1.1 103 Early\r\nContent-Length: 99\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: "
         "4\r\n\r\n",
         true, 200, "OK", 4, ""},
        {"64-bit length", "HTTP/1.1 200 OK\r\nContent-Length: 5000000000\r\n\r\n", true, 200, "OK",
         5000000000LL, ""},
    };
    for (const Case& c : cases) {
        for (int bytewise = 0; bytewise < 2; ++bytewise) {
            Parsed p = bytewise ? parse_bytewise(c.bytes) : parse_whole(c.bytes);
            SCOPED_TRACE(std::string(c.name) + (bytewise ? " (byte by byte)" : " (one read)"));
            EXPECT_EQ(p.err, 0);
            EXPECT_EQ(p.head.done, c.done);
            EXPECT_EQ(p.head.status, c.status);
            EXPECT_EQ(p.head.reason, c.reason);
            EXPECT_EQ(http_content_length(p.head.headers), c.length);
            EXPECT_EQ(p.rest, c.rest);
        }
    }
}

TEST(HttpParse, ContentLengthText)
{
    // Digits only, with optional blanks around them.
    struct {
        const char* value;
        int64_t want;
    } cases[] = {
        {"42", 42},
        {"  42", 42},
        {"\t42 \t", 42},
        {"0", 0},
        {"8589934592", 8589934592LL},
        {"9223372036854775807", INT64_MAX},
        {"+7", kNetLengthInvalid},
        {"12abc", kNetLengthInvalid},
        {"abc", kNetLengthInvalid},
        {"-5", kNetLengthInvalid},
        {"", kNetLengthInvalid},
        {"  ", kNetLengthInvalid},
        {"4 2", kNetLengthInvalid},
        {"0x10", kNetLengthInvalid},
        {"9223372036854775808", kNetLengthInvalid},
        {"99999999999999999999", kNetLengthInvalid},
    };
    for (const auto& c : cases) {
        http_header_map h{{"Content-Length", c.value}};
        EXPECT_EQ(http_content_length(h), c.want) << c.value;
    }
    EXPECT_EQ(http_content_length({}), -1);
}

TEST(HttpParse, UnreadableReplies)
{
    struct {
        const char* name;
        std::string head;
        const char* why; // part of the reason; "" when the reply can be read
    } cases[] = {
        {"length given", "HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\n", ""},
        {"chunked", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n",
         "Transfer-Encoding: chunked"},
        {"chunked in lower case", "HTTP/1.1 200 OK\r\ntransfer-encoding: Chunked\r\n\r\n",
         "Transfer-Encoding: Chunked"},
        // A length next to a transfer coding does not delimit the body.
        {"chunked with a length",
         "HTTP/1.1 200 OK\r\nContent-Length: 3\r\nTransfer-Encoding: chunked\r\n\r\n",
         "Transfer-Encoding"},
        {"chunked error page", "HTTP/1.1 404 Not Found\r\nTransfer-Encoding: chunked\r\n\r\n",
         "Transfer-Encoding"},
        {"identity coding",
         "HTTP/1.1 200 OK\r\nTransfer-Encoding: identity\r\nContent-Length: 1\r\n\r\n", ""},
        {"2xx without length", "HTTP/1.1 200 OK\r\nServer: x\r\n\r\n",
         "(200) has no \"Content-Length\""},
        {"204 without length", "HTTP/1.1 204 No Content\r\n\r\n", "(204) has no"},
        {"partial content", "HTTP/1.1 206 Partial Content\r\nContent-Length: 1024\r\n\r\n",
         "part of the file (206)"},
        // An error page without a length ends with the connection: readable.
        {"502 without length", "HTTP/1.0 502 Bad Gateway\r\n\r\n", ""},
        // A length that is no number of bytes, or two that differ, leave
        // the end of the body unknown, whatever the status.
        {"length that is no number", "HTTP/1.1 200 OK\r\nContent-Length: abc\r\n\r\n",
         "the reply's \"Content-Length: abc\" is not a number of bytes, so the end of its body "
         "cannot be known"},
        {"length with letters after it", "HTTP/1.1 200 OK\r\nContent-Length: 10abc\r\n\r\n",
         "\"Content-Length: 10abc\" is not a number"},
        {"negative length", "HTTP/1.1 200 OK\r\nContent-Length: -5\r\n\r\n",
         "\"Content-Length: -5\" is not a number"},
        {"empty length", "HTTP/1.1 200 OK\r\nContent-Length:\r\n\r\n",
         "\"Content-Length: \" is not a number"},
        {"length past 63 bits", "HTTP/1.1 200 OK\r\nContent-Length: 9223372036854775808\r\n\r\n",
         "is not a number"},
        {"error page with a length that is no number",
         "HTTP/1.1 404 Not Found\r\nContent-Length: x\r\n\r\n", "is not a number"},
        {"two different lengths",
         "HTTP/1.1 200 OK\r\nContent-Length: 500\r\nContent-Length: 1000\r\n\r\n",
         "the reply gives two different \"Content-Length\" values (500 and 1000), so the end of "
         "its body cannot be known"},
        {"two spellings with different lengths",
         "HTTP/1.1 200 OK\r\ncontent-length: 5\r\nContent-Length: 9\r\n\r\n", "(5 and 9)"},
        {"the same length twice",
         "HTTP/1.1 200 OK\r\nContent-Length: 3\r\nContent-Length: 3\r\n\r\n", ""},
        {"the same length with other blanks",
         "HTTP/1.1 200 OK\r\nContent-Length:3\r\ncontent-length: \t3 \r\n\r\n", ""},
        {"interim lengths do not count",
         "HTTP/1.1 100 Continue\r\nContent-Length: 7\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: "
         "3\r\n\r\n",
         ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Parsed p = parse_whole(c.head);
        ASSERT_TRUE(p.head.done);
        const std::string why = http_unreadable_reply(p.head);
        if (*c.why == 0)
            EXPECT_EQ(why, "");
        else
            EXPECT_NE(why.find(c.why), std::string::npos) << why;
    }
}

// A line that begins like a status line but is not one is kept, so that
// the request fails at once instead of waiting for a head that never comes.
TEST(HttpParse, StatusLinesThatAreNot)
{
    struct {
        const char* line;
        bool bad;
    } cases[] = {
        {"HTTP/1.1 200 OK", false},    {"HTTP/1.0 404 Not Found", false},
        {"HTTP/1.1 200 ", false},      {"HTTP/1.1 200", false},
        {"HTTP/1.1 2000 Weird", true}, {"HTTP/1.1 200OK", true},
        {"HTTP/1.1 2x0", true},        {"HTTP/1.1 20", true},
        {"HTTP/1.1 -20 Minus", true},  {"HTTP/1.1  200 OK", true},
        {"HTTP/x.1 200 OK", true},     {"HTTP/1.1\t200 OK", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        Parsed p = parse_whole(std::string(c.line) + "\r\nContent-Length: 0\r\n\r\n");
        EXPECT_EQ(p.head.bad_status_line, c.bad ? c.line : "");
        EXPECT_EQ(p.head.done, !c.bad);
        EXPECT_EQ(p.head.status, c.bad ? -1 : atoi(c.line + 9));
    }
    // The first such line is the one kept.
    Parsed p = parse_whole("HTTP/1.1 2000 A\r\nHTTP/1.1 3000 B\r\n");
    EXPECT_EQ(p.head.bad_status_line, "HTTP/1.1 2000 A");
}

TEST(HttpParse, EndlessHeadIsCapped)
{
    // Many short header lines, and one line that never ends: both stop at
    // the cap instead of growing for the whole idle time-out.
    std::string lines = "HTTP/1.1 200 OK\r\n";
    while (lines.size() <= kNetMaxHeadBytes)
        lines += "X-Filler: abcdefghijklmnopqrstuvwxyz\r\n";
    std::string one_line = "HTTP/1.1 200 OK\r\nX-Long: " + std::string(kNetMaxHeadBytes, 'a');
    for (const std::string* bytes : {&lines, &one_line}) {
        Parsed p = parse_whole(*bytes);
        EXPECT_NE(p.err, 0);
        EXPECT_FALSE(p.head.done);
    }
    // A large head under the cap is fine.
    std::string big =
        "HTTP/1.1 200 OK\r\nX-Big: " + std::string(kNetMaxHeadBytes - 100, 'b') + "\r\n\r\n";
    Parsed ok = parse_whole(big);
    EXPECT_EQ(ok.err, 0);
    EXPECT_TRUE(ok.head.done);
}

TEST(HttpParse, CapCountsHeadAcrossReads)
{
    http_head_struct head = fresh_head();
    std::vector<char> buf;
    int err = 0;
    for (int i = 0; i < 10000 && err == 0; ++i) {
        std::string line = "X-Filler: 0123456789\r\n";
        buf.insert(buf.end(), line.begin(), line.end());
        err = http_parse_head(buf, head);
    }
    EXPECT_NE(err, 0);
    EXPECT_TRUE(buf.size() <= kNetMaxHeadBytes);
}
