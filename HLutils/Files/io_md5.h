// MD5 digest (RFC 1321) and file signatures.
#pragma once

#include <cstdint>
#include <string>

struct MD5_CTX {
    uint32_t i[2];            // bits fed so far, mod 2^64, low word first
    uint32_t buf[4];          // state
    unsigned char in[64];     // current partial block
    unsigned char digest[16]; // filled by MD5Final
};

void MD5Init(MD5_CTX* ctx);
// Feeds length & 0xFFFF bytes: one call takes at most 65535 bytes.
void MD5Update(MD5_CTX* ctx, const unsigned char* data, unsigned int length);
// Feeds data of any length (64-bit, so files over 4 GiB sign correctly).
void MD5UpdateWide(MD5_CTX* ctx, const unsigned char* data, uint64_t length);
// Pads, appends the bit count and stores the digest; the context is kept.
void MD5Final(MD5_CTX* ctx);

// 32 lower-case hex digits of the digest, byte 0 first.
std::string md5_digest_text(const MD5_CTX& ctx);

// Signs a whole file. 0 on success, 20006 when the file cannot be read (the
// signature is then left as it was, so a preset "NONE" stays). The first
// user_part characters of path are a folder the user chose (xmap_class::retry).
int calc_file_md5(const std::string& path, std::string& signature, size_t user_part = 0);
