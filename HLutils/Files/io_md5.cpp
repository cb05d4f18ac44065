// MD5 message digest after RFC 1321, and whole-file signatures.
#include "Files/io_md5.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "Files/io_utils.h"

namespace
{

const unsigned char PADDING[64] = {0x80};

// One call of MD5Update counts only this many bits of its length.
constexpr unsigned int kUpdateMask = 0xFFFF;
// Bytes read at a time when signing a file: a multiple of the block size
// that stays in the cache.
constexpr size_t kSignPiece = 32 * 1024;
// Piece size of MD5UpdateWide.
constexpr uint64_t kWidePiece = 65535;

inline uint32_t rotl(uint32_t x, int n)
{
    return (x << n) | (x >> (32 - n));
}

// Each step waits for the b of the step before; the forms below keep the
// work that needs b short (about a tenth faster than the textbook forms).
// The parts of G without b, and the word and constant, are added first;
// G's two parts share no bits, so adding them equals or-ing them.
#define F(x, y, z) ((z) ^ ((x) & ((y) ^ (z))))
#define H(x, y, z) ((x) ^ ((y) ^ (z)))
#define I(x, y, z) ((y) ^ ((x) | ~(z)))
#define STEP_WITH(f, a, b, c, d, x, s, ac)                                                         \
    (a) += (x) + (uint32_t)(ac);                                                                   \
    (a) += f((b), (c), (d));                                                                       \
    (a) = rotl((a), (s)) + (b)
#define STEP_F(...) STEP_WITH(F, __VA_ARGS__)
#define STEP_H(...) STEP_WITH(H, __VA_ARGS__)
#define STEP_I(...) STEP_WITH(I, __VA_ARGS__)
#define STEP_G(a, b, c, d, x, s, ac)                                                               \
    (a) += (x) + (uint32_t)(ac) + ((c) & ~(d));                                                    \
    (a) += (b) & (d);                                                                              \
    (a) = rotl((a), (s)) + (b)
#define STEP(f, a, b, c, d, x, s, ac) STEP_##f(a, b, c, d, x, s, ac)

inline uint32_t load_le32(const unsigned char* p)
{
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}

// Folds one 64-byte block, read as sixteen little-endian words, into buf.
void Transform(uint32_t buf[4], const unsigned char* block)
{
    uint32_t x[16];
    for (int i = 0; i < 16; ++i)
        x[i] = load_le32(block + 4 * i);
    uint32_t a = buf[0], b = buf[1], c = buf[2], d = buf[3];

    STEP(F, a, b, c, d, x[0], 7, 0xd76aa478);
    STEP(F, d, a, b, c, x[1], 12, 0xe8c7b756);
    STEP(F, c, d, a, b, x[2], 17, 0x242070db);
    STEP(F, b, c, d, a, x[3], 22, 0xc1bdceee);
    STEP(F, a, b, c, d, x[4], 7, 0xf57c0faf);
    STEP(F, d, a, b, c, x[5], 12, 0x4787c62a);
    STEP(F, c, d, a, b, x[6], 17, 0xa8304613);
    STEP(F, b, c, d, a, x[7], 22, 0xfd469501);
    STEP(F, a, b, c, d, x[8], 7, 0x698098d8);
    STEP(F, d, a, b, c, x[9], 12, 0x8b44f7af);
    STEP(F, c, d, a, b, x[10], 17, 0xffff5bb1);
    STEP(F, b, c, d, a, x[11], 22, 0x895cd7be);
    STEP(F, a, b, c, d, x[12], 7, 0x6b901122);
    STEP(F, d, a, b, c, x[13], 12, 0xfd987193);
    STEP(F, c, d, a, b, x[14], 17, 0xa679438e);
    STEP(F, b, c, d, a, x[15], 22, 0x49b40821);

    STEP(G, a, b, c, d, x[1], 5, 0xf61e2562);
    STEP(G, d, a, b, c, x[6], 9, 0xc040b340);
    STEP(G, c, d, a, b, x[11], 14, 0x265e5a51);
    STEP(G, b, c, d, a, x[0], 20, 0xe9b6c7aa);
    STEP(G, a, b, c, d, x[5], 5, 0xd62f105d);
    STEP(G, d, a, b, c, x[10], 9, 0x02441453);
    STEP(G, c, d, a, b, x[15], 14, 0xd8a1e681);
    STEP(G, b, c, d, a, x[4], 20, 0xe7d3fbc8);
    STEP(G, a, b, c, d, x[9], 5, 0x21e1cde6);
    STEP(G, d, a, b, c, x[14], 9, 0xc33707d6);
    STEP(G, c, d, a, b, x[3], 14, 0xf4d50d87);
    STEP(G, b, c, d, a, x[8], 20, 0x455a14ed);
    STEP(G, a, b, c, d, x[13], 5, 0xa9e3e905);
    STEP(G, d, a, b, c, x[2], 9, 0xfcefa3f8);
    STEP(G, c, d, a, b, x[7], 14, 0x676f02d9);
    STEP(G, b, c, d, a, x[12], 20, 0x8d2a4c8a);

    STEP(H, a, b, c, d, x[5], 4, 0xfffa3942);
    STEP(H, d, a, b, c, x[8], 11, 0x8771f681);
    STEP(H, c, d, a, b, x[11], 16, 0x6d9d6122);
    STEP(H, b, c, d, a, x[14], 23, 0xfde5380c);
    STEP(H, a, b, c, d, x[1], 4, 0xa4beea44);
    STEP(H, d, a, b, c, x[4], 11, 0x4bdecfa9);
    STEP(H, c, d, a, b, x[7], 16, 0xf6bb4b60);
    STEP(H, b, c, d, a, x[10], 23, 0xbebfbc70);
    STEP(H, a, b, c, d, x[13], 4, 0x289b7ec6);
    STEP(H, d, a, b, c, x[0], 11, 0xeaa127fa);
    STEP(H, c, d, a, b, x[3], 16, 0xd4ef3085);
    STEP(H, b, c, d, a, x[6], 23, 0x04881d05);
    STEP(H, a, b, c, d, x[9], 4, 0xd9d4d039);
    STEP(H, d, a, b, c, x[12], 11, 0xe6db99e5);
    STEP(H, c, d, a, b, x[15], 16, 0x1fa27cf8);
    STEP(H, b, c, d, a, x[2], 23, 0xc4ac5665);

    STEP(I, a, b, c, d, x[0], 6, 0xf4292244);
    STEP(I, d, a, b, c, x[7], 10, 0x432aff97);
    STEP(I, c, d, a, b, x[14], 15, 0xab9423a7);
    STEP(I, b, c, d, a, x[5], 21, 0xfc93a039);
    STEP(I, a, b, c, d, x[12], 6, 0x655b59c3);
    STEP(I, d, a, b, c, x[3], 10, 0x8f0ccc92);
    STEP(I, c, d, a, b, x[10], 15, 0xffeff47d);
    STEP(I, b, c, d, a, x[1], 21, 0x85845dd1);
    STEP(I, a, b, c, d, x[8], 6, 0x6fa87e4f);
    STEP(I, d, a, b, c, x[15], 10, 0xfe2ce6e0);
    STEP(I, c, d, a, b, x[6], 15, 0xa3014314);
    STEP(I, b, c, d, a, x[13], 21, 0x4e0811a1);
    STEP(I, a, b, c, d, x[4], 6, 0xf7537e82);
    STEP(I, d, a, b, c, x[11], 10, 0xbd3af235);
    STEP(I, c, d, a, b, x[2], 15, 0x2ad7d2bb);
    STEP(I, b, c, d, a, x[9], 21, 0xeb86d391);

    buf[0] += a;
    buf[1] += b;
    buf[2] += c;
    buf[3] += d;
}

#undef F
#undef H
#undef I
#undef STEP_WITH
#undef STEP_F
#undef STEP_G
#undef STEP_H
#undef STEP_I
#undef STEP

// Feeds n bytes: fills the partial block first, then folds whole blocks
// straight from the caller's data, then keeps the tail.
void feed(MD5_CTX* ctx, const unsigned char* data, uint64_t n)
{
    unsigned int pos = (ctx->i[0] >> 3) & 63;
    uint64_t bits = n << 3;
    uint32_t low = (uint32_t)bits;
    ctx->i[0] += low;
    if (ctx->i[0] < low) ctx->i[1]++;
    ctx->i[1] += (uint32_t)(bits >> 32);

    if (pos) {
        uint64_t take = 64 - pos;
        if (take > n) take = n;
        std::memcpy(ctx->in + pos, data, (size_t)take);
        data += take;
        n -= take;
        pos += (unsigned int)take;
        if (pos < 64) return;
        Transform(ctx->buf, ctx->in);
    }
    for (; n >= 64; n -= 64, data += 64)
        Transform(ctx->buf, data);
    if (n) std::memcpy(ctx->in, data, (size_t)n);
}

} // namespace

void MD5Init(MD5_CTX* ctx)
{
    ctx->i[0] = ctx->i[1] = 0;
    ctx->buf[0] = 0x67452301;
    ctx->buf[1] = 0xefcdab89;
    ctx->buf[2] = 0x98badcfe;
    ctx->buf[3] = 0x10325476;
}

void MD5Update(MD5_CTX* ctx, const unsigned char* data, unsigned int length)
{
    feed(ctx, data, length & kUpdateMask);
}

void MD5UpdateWide(MD5_CTX* ctx, const unsigned char* data, uint64_t length)
{
    while (length > 0) {
        uint64_t piece = length < kWidePiece ? length : kWidePiece;
        feed(ctx, data, piece);
        data += piece;
        length -= piece;
    }
}

void MD5Final(MD5_CTX* ctx)
{
    uint32_t saved[2] = {ctx->i[0], ctx->i[1]};
    unsigned int pos = (ctx->i[0] >> 3) & 63;
    unsigned int pad = (pos < 56) ? (56 - pos) : (120 - pos);
    feed(ctx, PADDING, pad);
    unsigned char count[8];
    for (int w = 0; w < 2; ++w)
        for (int b = 0; b < 4; ++b)
            count[4 * w + b] = (unsigned char)(saved[w] >> (8 * b));
    feed(ctx, count, 8);
    for (int w = 0; w < 4; ++w)
        for (int b = 0; b < 4; ++b)
            ctx->digest[4 * w + b] = (unsigned char)(ctx->buf[w] >> (8 * b));
}

std::string md5_digest_text(const MD5_CTX& ctx)
{
    static const char hex[] = "0123456789abcdef";
    std::string out(32, '0');
    for (int i = 0; i < 16; ++i) {
        out[2 * i] = hex[ctx.digest[i] >> 4];
        out[2 * i + 1] = hex[ctx.digest[i] & 15];
    }
    return out;
}

md5_file_signer::md5_file_signer() = default;
md5_file_signer::~md5_file_signer()
{
    io_map_close(&file);
}

int md5_file_signer::open_file(const std::string& path, size_t user_part)
{
    // The file is opened and mapped under the path rules (app_path, the path
    // checks, the letter-case repair). Its bytes are then read through the
    // descriptor into a small buffer: walking the mapped pages
    // from user space costs a page-table walk per 4 KiB page, which made
    // signing a third slower than md5sum on virtual machines. A read also
    // fails cleanly where a file cut short under the mapping would fault.
    // An empty path names no file (and is not checked).
    if (path.empty() || !io_map_open(&file, path, user_part)) {
        io_map_close(&file);
        return kErrFileOpenRead;
    }
    MD5Init(&ctx);
    at = 0;
    size = (uint64_t)(file.end - file.start);
    signed_ok = false;
    if (size == 0) return feed(0);
    return 0;
}

int md5_file_signer::feed(uint64_t max_bytes)
{
    if (signed_ok) return 0;
    if (!file.start) return kErrFileOpenRead;
    // The buffer comes with the first piece: a scan opens files on one
    // thread and signs them on others.
    if (buf.empty()) buf.resize(size < kSignPiece ? (size_t)size : kSignPiece);
    uint64_t fed = 0;
    while (at < size && (fed < max_bytes || fed == 0)) {
        const size_t want = (size_t)std::min<uint64_t>(buf.size(), size - at);
        const ssize_t got = pread(file.fd, buf.data(), want, (off_t)at);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) { // unreadable or cut short
            io_map_close(&file);
            return kErrFileOpenRead;
        }
        MD5UpdateWide(&ctx, buf.data(), (uint64_t)got);
        at += (uint64_t)got;
        fed += (uint64_t)got;
    }
    if (at == size) {
        MD5Final(&ctx);
        digest = md5_digest_text(ctx);
        signed_ok = true;
        io_map_close(&file); // the mapping and descriptor go as soon as the file is signed
    }
    return 0;
}

int calc_file_md5(const std::string& path, std::string& signature, size_t user_part)
{
    md5_file_signer s;
    if (int err = s.open_file(path, user_part)) return err;
    if (int err = s.feed(UINT64_MAX)) return err;
    signature = s.signature();
    return 0;
}
