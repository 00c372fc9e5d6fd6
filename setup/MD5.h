// The MD5 message digest (RFC 1321) and its text of 32 lower-case hexadecimal digits,
// which the installation key is made of.
#pragma once

#include <array>
#include <cstdint>
#include <string>

struct MD5Context {
    std::uint32_t state[4];  // the chaining words A, B, C, D
    std::uint32_t count[2];  // bits absorbed so far, low word first, modulo 2^64
    std::uint8_t buffer[64]; // the unfinished block
};

using MD5Digest = std::array<std::uint8_t, 16>;

void MD5Init(MD5Context& context);
void MD5Update(MD5Context& context, const void* bytes, std::uint32_t length);
// Pads, gives the digest and wipes the whole context.
MD5Digest MD5Final(MD5Context& context);

// Two lower-case hexadecimal digits a byte, high half first.
std::string MD5HexOfDigest(const MD5Digest& digest);

// The digest text of bytes that are already in the ANSI code page.
std::string MD5HexOfString(const std::string& ansiBytes);

#ifdef _WIN32
// The digest text of a text's bytes in the system ANSI code page; a character that the
// code page cannot hold counts as the code page's default character.
std::wstring MD5HexOfString(const std::wstring& text);
#endif
