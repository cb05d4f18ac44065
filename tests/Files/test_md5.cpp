// MD5 digests (RFC 1321) and file signatures, checked against md5sum.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "Files/io_md5.h"
#include "Files/io_utils.h"
#include "support/file_fixtures.h"
#include "support/temp_dir.h"

namespace
{

std::string digest_of(const std::string& data)
{
    MD5_CTX ctx;
    MD5Init(&ctx);
    MD5UpdateWide(&ctx, reinterpret_cast<const unsigned char*>(data.data()), data.size());
    MD5Final(&ctx);
    return md5_digest_text(ctx);
}

// md5sum of a file, started now and read later, so both can run at once.
class Md5sum
{
  public:
    explicit Md5sum(const std::string& path)
    {
        std::string cmd = "md5sum '" + path + "'";
        pipe_ = popen(cmd.c_str(), "r");
    }
    std::string result()
    {
        if (!pipe_) return "popen failed";
        char buf[256] = {0};
        std::string out = fgets(buf, sizeof buf, pipe_) ? std::string(buf, 32) : "";
        pclose(pipe_);
        pipe_ = nullptr;
        return out;
    }
    ~Md5sum()
    {
        if (pipe_) pclose(pipe_);
    }

  private:
    FILE* pipe_ = nullptr;
};

// Deterministic bytes that are not a repeating pattern of block size.
std::string pseudo_random(size_t n, uint32_t seed)
{
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) {
        seed = seed * 1103515245u + 12345u;
        s[i] = (char)(seed >> 23);
    }
    return s;
}

TEST(Md5, Rfc1321Vectors)
{
    const struct {
        const char* in;
        const char* want;
    } cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (auto& c : cases)
        EXPECT_EQ(digest_of(c.in), c.want) << '"' << c.in << '"';
}

TEST(Md5, SplitFeedingGivesTheSameDigest)
{
    const std::string data = pseudo_random(200000, 7);
    const std::string whole = digest_of(data);
    for (size_t step : {1u, 63u, 64u, 65u, 4096u, 65535u}) {
        MD5_CTX ctx;
        MD5Init(&ctx);
        for (size_t at = 0; at < data.size(); at += step) {
            size_t n = std::min(step, data.size() - at);
            MD5Update(&ctx, reinterpret_cast<const unsigned char*>(data.data()) + at, (unsigned)n);
        }
        MD5Final(&ctx);
        EXPECT_EQ(md5_digest_text(ctx), whole) << "step " << step;
    }
}

TEST(Md5, UpdateCountsSixteenBitsOfLength)
{
    const std::string data = pseudo_random(65537, 3);
    const auto* p = reinterpret_cast<const unsigned char*>(data.data());
    MD5_CTX ctx;
    MD5Init(&ctx);
    MD5Update(&ctx, p, 65536); // feeds nothing
    MD5Final(&ctx);
    EXPECT_EQ(md5_digest_text(ctx), digest_of(""));

    MD5Init(&ctx);
    MD5Update(&ctx, p, 65537); // feeds one byte
    MD5Final(&ctx);
    EXPECT_EQ(md5_digest_text(ctx), digest_of(data.substr(0, 1)));
}

TEST(Md5, FilesMatchMd5sum)
{
    TempDir dir;
    for (size_t n : {0u, 1u, 55u, 56u, 64u, 65535u, 65536u, 131071u, 1000003u}) {
        const std::string name = "f" + std::to_string(n);
        dir.write(name, pseudo_random(n, (uint32_t)n));
        std::string sig;
        ASSERT_EQ(calc_file_md5(dir / name, sig), 0) << n;
        EXPECT_EQ(sig, Md5sum(dir / name).result()) << n;
        EXPECT_EQ(sig.size(), 32u);
        EXPECT_EQ(sig.find_first_not_of("0123456789abcdef"), std::string::npos);
    }
}

TEST(Md5, MissingFileKeepsTheSignature)
{
    TempDir dir;
    std::string sig = "NONE";
    EXPECT_EQ(calc_file_md5(dir / "nothing here", sig), kErrFileOpenRead);
    EXPECT_EQ(sig, "NONE");
    // A folder where a file is expected is not a file either.
    dir.mkdir("folder");
    EXPECT_EQ(calc_file_md5(dir / "folder", sig), kErrFileOpenRead);
    EXPECT_EQ(sig, "NONE");
    // Names are repaired for letter case before they count as missing.
    dir.write("Present.bin", "abc");
    EXPECT_EQ(calc_file_md5(dir / "PRESENT.bin", sig), 0);
    EXPECT_EQ(sig, "900150983cd24fb0d6963f7d28e17f72");
}

// Writes n bytes of a repeating pseudo-random block without holding them all.
void write_big(const std::string& path, size_t n)
{
    const std::string block = pseudo_random(1 << 20, 11);
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    for (size_t at = 0; at < n; at += block.size())
        ASSERT_EQ(std::fwrite(block.data(), 1, std::min(block.size(), n - at), f),
                  std::min(block.size(), n - at));
    ASSERT_EQ(std::fclose(f), 0);
}

// A file signed in pieces gives the file's digest; each feed moves on by
// whole pieces, so a caller sees the progress within a big file.
TEST(Md5, SignerInPiecesMatchesMd5sum)
{
    TempDir dir;
    struct {
        size_t size;
        uint64_t budget;
    } cases[] = {{0, 1}, {1, 1}, {32768, 1}, {32769, 32768}, {1000003, 100000}, {1000003, 1}};
    for (const auto& c : cases) {
        const std::string path = dir / ("f" + std::to_string(c.size));
        dir.write("f" + std::to_string(c.size), pseudo_random(c.size, 7));
        md5_file_signer s;
        ASSERT_EQ(s.open_file(path), 0) << c.size;
        EXPECT_EQ(s.bytes_total(), c.size);
        uint64_t last = 0;
        int feeds = 0;
        while (!s.done()) {
            ASSERT_EQ(s.feed(c.budget), 0) << c.size;
            EXPECT_GT(s.bytes_done(), last) << c.size; // every feed makes progress
            EXPECT_LE(s.bytes_done() - last, c.budget + 32768) << c.size;
            last = s.bytes_done();
            ASSERT_LT(++feeds, 1000) << c.size;
        }
        EXPECT_EQ(s.signature(), Md5sum(path).result()) << c.size;
    }
}

// A file cut short between two pieces is unreadable, not signed short.
TEST(Md5, SignerOfAFileCutShortFails)
{
    TempDir dir;
    dir.write("f", pseudo_random(200000, 3));
    md5_file_signer s;
    ASSERT_EQ(s.open_file(dir / "f"), 0);
    ASSERT_EQ(s.feed(1), 0);
    ASSERT_EQ(::truncate((dir / "f").c_str(), 40000), 0);
    int err = 0;
    while (err == 0 && !s.done())
        err = s.feed(1 << 20);
    EXPECT_EQ(err, kErrFileOpenRead);
    EXPECT_FALSE(s.done());
    // No signature: the caller keeps "NONE".
    EXPECT_EQ(s.signature(), "");
}

TEST(Md5, SeveralHundredMegabytes)
{
    TempDir dir;
    const std::string path = dir / "big";
    write_big(path, (size_t)300 * 1000 * 1000 + 17);
    Md5sum want(path);
    std::string sig;
    ASSERT_EQ(calc_file_md5(path, sig), 0);
    EXPECT_EQ(sig, want.result());
}

TEST(Md5, SparseFileOverFourGigabytes)
{
    TempDir dir;
    const std::string path = dir / "sparse";
    const off_t size = (off_t(1) << 32) + 4097; // lengths past 32 bits
    // A little data at the start, across the 4 GiB mark and at the end, so a
    // wrapped length or offset changes the digest.
    if (!write_sparse_marked(path, size))
        GTEST_SKIP() << "this file system does not keep files sparse";

    Md5sum want(path);
    std::string sig;
    ASSERT_EQ(calc_file_md5(path, sig), 0);
    EXPECT_EQ(sig, want.result());
}

} // namespace
