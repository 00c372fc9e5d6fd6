// The installation key's digest of a text under the Chinese ANSI code page (936).
#include "MD5.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace {

TEST(MD5Text, IsTheDigestOfTheTextsAnsiBytes)
{
    ASSERT_EQ(GetACP(), 936u) << "the tests expect the Chinese ANSI code page";
    // Digests of the GBK bytes, from Python's hashlib.
    const struct {
        const wchar_t* text;
        const wchar_t* digest;
    } cases[] = {
        {L"", L"d41d8cd98f00b204e9800998ecf8427e"},
        {L"abc", L"900150983cd24fb0d6963f7d28e17f72"},
        {L"安装程序密钥2024年", L"37e1b321ca67f3eef2388e10a9de18c4"}, // 18 bytes, two a character
        {L"a\x0e01" L"b", L"0166d849f21a9d699d896ea2a79a375f"},       // Thai ko kai: "a?b"
    };
    for (const auto& c : cases) EXPECT_EQ(MD5HexOfString(std::wstring(c.text)), c.digest) << c.digest;

    // Neither the UTF-8 nor the UTF-16 bytes of the Chinese text.
    const std::wstring chinese = MD5HexOfString(std::wstring(L"安装程序密钥2024年"));
    EXPECT_NE(chinese, L"58b3f82401ad120fd3dea04e9aed1dae");
    EXPECT_NE(chinese, L"3c9648c2653b162d2ad9e3272f13449f");
}

} // namespace
