// MD5 digest (RFC 1321) and file signatures.
//
// A file is opened and mapped under the path rules (io_map) and signed through
// its descriptor in 32 KiB reads, which costs less than walking the mapped pages;
// md5_file_signer feeds a file a budget of bytes at a time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Files/io_map.h"

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

// A file signed in pieces, so that the caller can stop between them (a scan
// that must keep its window answering while it reads a huge file):
//   md5_file_signer s; if (s.open_file(path) == 0) while (!s.done()) s.feed(budget);
// A signer is used for one file.
class md5_file_signer
{
  public:
    md5_file_signer();
    ~md5_file_signer();
    md5_file_signer(const md5_file_signer&) = delete;
    md5_file_signer& operator=(const md5_file_signer&) = delete;

    // Opens the file as calc_file_md5 does. 0, or 20006 when it cannot be
    // read.
    int open_file(const std::string& path, size_t user_part = 0);
    // Reads and feeds 32 KiB pieces (the last one shorter), at least one,
    // until max_bytes were fed or the file is done. 0, or 20006 when the file
    // cannot be read or is cut short: it then has no signature.
    int feed(uint64_t max_bytes);
    bool done() const { return at == size && signed_ok; }
    uint64_t bytes_done() const { return at; }
    uint64_t bytes_total() const { return size; }
    // 32 lower-case hex digits once done().
    const std::string& signature() const { return digest; }

  private:
    io_mapping file; // open while signing
    MD5_CTX ctx;
    uint64_t at = 0, size = 0;
    bool signed_ok = false;
    std::vector<unsigned char> buf;
    std::string digest;
};

// Signs a whole file. 0 on success, 20006 when the file cannot be read (the
// signature is then left as it was, so a preset "NONE" stays). The first
// user_part characters of path are a folder the user chose (io_map_open).
int calc_file_md5(const std::string& path, std::string& signature, size_t user_part = 0);
