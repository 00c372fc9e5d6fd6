// The version marker search and the release table, fed in every way the probe may feed
// them: whole buffers, every split point, tiny blocks, empty blocks.
#include "MaxSceneScan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

// A 12-byte occurrence: signature, the two bytes not examined, release little-endian.
Bytes Occurrence(std::uint16_t release, std::uint8_t b8 = 0, std::uint8_t b9 = 0)
{
    return {0x42, 0x30, 0x60, 0x11, 0x00, 0x00, 0x00, 0x00, b8, b9,
            static_cast<std::uint8_t>(release & 0xFF), static_cast<std::uint8_t>(release >> 8)};
}

// Bytes that hold no occurrence but are full of signature prefixes, so the search has to
// reject many near misses (42, 42 30, 42 30 60 11 00 00 00 ...).
Bytes Filler(std::size_t size)
{
    static const std::uint8_t pattern[] = {0x42, 0x42, 0x30, 0x00, 0x42, 0x30, 0x60, 0x11,
                                           0x00, 0x00, 0x00, 0x01, 0x60, 0x11, 0x00, 0x00};
    Bytes b(size);
    for (std::size_t i = 0; i < size; ++i) b[i] = pattern[i % sizeof pattern];
    return b;
}

Bytes Cat(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

// Feeds the bytes in blocks of the given size (the last one shorter).
std::optional<std::uint16_t> SearchInBlocks(const Bytes& bytes, std::size_t block)
{
    MaxMarkerSearch search;
    for (std::size_t at = 0; at < bytes.size(); at += block)
        search.Feed(bytes.data() + at, std::min(block, bytes.size() - at));
    return search.Release();
}

std::optional<std::uint16_t> SearchWhole(const Bytes& bytes)
{
    MaxMarkerSearch search;
    search.Feed(bytes.data(), bytes.size());
    return search.Release();
}

// Every way the search is fed must agree: whole, every two-way split, blocks of 1..13
// bytes and a large odd size.
void ExpectEveryFeeding(const Bytes& bytes, std::optional<std::uint16_t> expected)
{
    EXPECT_EQ(SearchWhole(bytes), expected) << "whole buffer";
    for (std::size_t split = 0; split <= bytes.size(); ++split) {
        MaxMarkerSearch search;
        search.Feed(bytes.data(), split);
        search.Feed(bytes.data() + split, bytes.size() - split);
        EXPECT_EQ(search.Release(), expected) << "split at " << split;
    }
    for (std::size_t block : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 37})
        EXPECT_EQ(SearchInBlocks(bytes, block), expected) << "blocks of " << block;
}

TEST(MaxReleaseText, EveryBoundaryOfTheTable)
{
    const struct {
        std::uint16_t release;
        const wchar_t* text;
    } rows[] = {
        {0, L"max9以下版本."},         {8999, L"max9以下版本."},
        {9000, L"max9"},               {9999, L"max9"},
        {10000, L"max2008"},           {10999, L"max2008"},
        {11000, L"max2009"},           {11999, L"max2009"},
        {12000, L"max2010"},           {12999, L"max2010"},
        {13000, L"max2011"},           {13999, L"max2011"},
        {14000, L"max2012"},           {14999, L"max2012"},
        {15000, L"无法获取的MAX版本"}, {32768, L"无法获取的MAX版本"},
        {65535, L"无法获取的MAX版本"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(MaxReleaseText(row.release), row.text) << row.release;
        // The same through a search over a file holding that release.
        MaxMarkerSearch search;
        const Bytes file = Cat({Filler(5), Occurrence(row.release)});
        search.Feed(file.data(), file.size());
        EXPECT_EQ(MaxVersionTextOf(search), row.text) << row.release;
    }
}

TEST(MaxMarkerSearch, NothingFoundGivesTheUnknownText)
{
    MaxMarkerSearch search;
    EXPECT_EQ(MaxVersionTextOf(search), L"无法获取版本.");
    const Bytes file = Filler(4096);
    EXPECT_FALSE(search.Feed(file.data(), file.size()));
    EXPECT_EQ(search.Release(), std::nullopt);
    EXPECT_EQ(MaxVersionTextOf(search), L"无法获取版本.");
    EXPECT_EQ(std::wstring(kUnknownMaxVersionText), L"无法获取版本.");
}

TEST(MaxMarkerSearch, ShortFiles)
{
    const Bytes o = Occurrence(12000);
    ExpectEveryFeeding(Bytes(o.begin(), o.begin() + 11), std::nullopt); // 11 bytes
    ExpectEveryFeeding(o, 12000);                                        // 12 bytes
    ExpectEveryFeeding(Cat({o, {0x42}}), 12000);                         // 13 bytes, at 0
    ExpectEveryFeeding(Cat({{0x00}, o}), 12000);                         // 13 bytes, at 1
    ExpectEveryFeeding(Cat({{0x42, 0x00}, Bytes(o.begin(), o.begin() + 11)}),
                       std::nullopt); // 13 bytes, the occurrence cut at the end
    ExpectEveryFeeding(Bytes(), std::nullopt);
}

TEST(MaxMarkerSearch, OccurrenceMustEndInsideTheFile)
{
    for (std::size_t before : {0, 1, 11, 12, 100, 4096}) {
        SCOPED_TRACE(before);
        const Bytes o = Occurrence(13500);
        // Begins 12 bytes before the end: counted.
        ExpectEveryFeeding(Cat({Filler(before), o}), 13500);
        // Begins 11 bytes before the end: its last byte is missing.
        ExpectEveryFeeding(Cat({Filler(before), Bytes(o.begin(), o.end() - 1)}), std::nullopt);
    }
}

TEST(MaxMarkerSearch, OverlappingStarts)
{
    // 42 42 30 60 11 00 00 00 00 ..: the occurrence begins at position 1.
    ExpectEveryFeeding(Cat({{0x42}, Occurrence(11000)}), 11000);
    // A signature that fails at its last byte, with the real one starting inside it.
    ExpectEveryFeeding(Cat({{0x42, 0x30, 0x60, 0x11, 0x00, 0x00, 0x00}, Occurrence(11001)}),
                       11001);
    // The same behind a long run of near misses.
    ExpectEveryFeeding(Cat({Filler(61), {0x42, 0x30, 0x60}, Occurrence(11002)}), 11002);
}

TEST(MaxMarkerSearch, FirstOfTwoOccurrencesWins)
{
    ExpectEveryFeeding(Cat({Occurrence(9500), Occurrence(14500)}), 9500);
    ExpectEveryFeeding(Cat({Filler(30), Occurrence(14500), Filler(3), Occurrence(9500)}), 14500);
    // Signature bytes in the first's unexamined and release bytes start nothing earlier.
    const Bytes first = Occurrence(0x4242, 0x42, 0x42);
    ExpectEveryFeeding(Cat({first, Occurrence(10500)}), 0x4242);
    // A second occurrence beginning at the first's byte 10 is a later position.
    ExpectEveryFeeding(Cat({Occurrence(0x3042, 0x00, 0x42), {0x60, 0x11, 0x00, 0x00, 0x00, 0x00,
                                                            0x00, 0x00, 0x22, 0x33}}),
                       0x3042);
}

TEST(MaxMarkerSearch, BytesEightAndNineAreNotExamined)
{
    const std::uint8_t values[][2] = {
        {0x00, 0x00}, {0xFF, 0xFF}, {0x42, 0x30}, {0x60, 0x11}, {0x01, 0x80}, {0x00, 0x42}};
    for (const auto& v : values) {
        SCOPED_TRACE(testing::Message() << int(v[0]) << " " << int(v[1]));
        ExpectEveryFeeding(Cat({Filler(7), Occurrence(10000, v[0], v[1]), Filler(7)}), 10000);
    }
}

TEST(MaxMarkerSearch, OccurrenceStraddlingBlocks)
{
    // Every three-way cut of a buffer with one occurrence in the middle, so the occurrence
    // is split across up to three blocks in every possible way.
    const Bytes file = Cat({Filler(14), Occurrence(12345), Filler(14)});
    for (std::size_t i = 0; i <= file.size(); ++i)
        for (std::size_t j = i; j <= file.size(); ++j) {
            MaxMarkerSearch search;
            // The first block holds the whole occurrence once it reaches byte 26.
            EXPECT_EQ(search.Feed(file.data(), i), i >= 26);
            search.Feed(file.data() + i, j - i);
            search.Feed(file.data() + j, file.size() - j);
            ASSERT_EQ(search.Release(), 12345) << "cuts at " << i << ", " << j;
        }
}

TEST(MaxMarkerSearch, FeedReportsTheFindAndIgnoresLaterBytes)
{
    const Bytes o = Occurrence(14000);
    MaxMarkerSearch search;
    EXPECT_FALSE(search.Feed(o.data(), 11));
    EXPECT_TRUE(search.Feed(o.data() + 11, 1));
    EXPECT_EQ(search.Release(), 14000);

    const Bytes other = Occurrence(9000);
    EXPECT_TRUE(search.Feed(other.data(), other.size()));
    EXPECT_TRUE(search.Feed(nullptr, 0));
    EXPECT_EQ(search.Release(), 14000);
    EXPECT_EQ(MaxVersionTextOf(search), L"max2012");
}

TEST(MaxMarkerSearch, EmptyFeedsChangeNothing)
{
    MaxMarkerSearch search;
    EXPECT_FALSE(search.Feed(nullptr, 0));
    EXPECT_EQ(search.Release(), std::nullopt);

    // Empty feeds between the single bytes of a straddling occurrence keep the tail.
    const Bytes file = Cat({Filler(20), Occurrence(10500), Filler(3)});
    for (std::size_t i = 0; i < file.size(); ++i) {
        search.Feed(file.data() + i, 0);
        search.Feed(file.data() + i, 1);
        search.Feed(nullptr, 0);
    }
    EXPECT_EQ(search.Release(), 10500);
}

TEST(MaxMarkerSearch, EveryPositionInBuffersOfSeveralScanRounds)
{
    // The vector scan takes 64 positions a round and leaves the rest to the portable one;
    // its loads are unaligned. An occurrence at every position of buffers of every length
    // up to several rounds, from start addresses of every alignment, amid filler whose
    // near misses pass the scan's first filter (0x42, then 0x11 three bytes on). A second
    // occurrence near the end must not win over the first.
    const Bytes first = Occurrence(10001), second = Occurrence(10002);
    for (std::size_t size = 12; size <= 210; ++size) {
        SCOPED_TRACE(testing::Message() << "size " << size);
        for (std::size_t at = 0; at + 12 <= size; ++at) {
            Bytes file = Filler(size);
            std::copy(first.begin(), first.end(), file.begin() + at);
            if (at + 24 <= size) std::copy(second.begin(), second.end(), file.end() - 12);
            for (std::size_t shift = 0; shift < 16; ++shift) {
                Bytes shifted(shift, 0xEE);
                shifted.insert(shifted.end(), file.begin(), file.end());
                MaxMarkerSearch search;
                EXPECT_TRUE(search.Feed(shifted.data() + shift, size));
                ASSERT_EQ(search.Release(), 10001) << "at " << at << ", shift " << shift;
            }
        }
        // The occurrence cut short by the end of the buffer.
        Bytes cut = Filler(size);
        std::copy(first.begin(), first.end() - 1, cut.end() - 11);
        EXPECT_EQ(SearchWhole(cut), std::nullopt);
    }
}

TEST(MaxMarkerSearch, LongStreamInMixedBlockSizes)
{
    // Blocks of growing, uneven sizes over a long stream whose occurrence sits late.
    const Bytes file = Cat({Filler(100000), Occurrence(13000), Filler(50)});
    MaxMarkerSearch search;
    std::size_t at = 0, block = 1;
    while (at < file.size()) {
        const std::size_t n = std::min(block, file.size() - at);
        search.Feed(file.data() + at, n);
        at += n;
        block = block * 3 % 4099 + 1;
    }
    EXPECT_EQ(search.Release(), 13000);
    EXPECT_EQ(SearchInBlocks(file, 1), 13000);
    EXPECT_EQ(SearchInBlocks(Filler(100000), 5), std::nullopt);
}

} // namespace
