// Differential fuzz target: the streaming marker search, fed in blocks chosen by the
// input, against a plain search over the whole buffer.
//
// Input layout: byte 0 gives the number n (1..4) of block-size bytes that follow; those
// sizes are used in turn for the rest of the input. A size byte s means s bytes, or
// (s & 0x7F) * 64 bytes when its top bit is set; 0 is an empty feed.
#include "MaxSceneScan.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

namespace {

std::optional<std::uint16_t> ReferenceSearch(const std::uint8_t* data, std::size_t size)
{
    static const std::uint8_t signature[8] = {0x42, 0x30, 0x60, 0x11, 0x00, 0x00, 0x00, 0x00};
    for (std::size_t p = 0; p + 12 <= size; ++p) {
        bool match = true;
        for (std::size_t i = 0; i < 8; ++i)
            if (data[p + i] != signature[i]) { match = false; break; }
        if (match) return static_cast<std::uint16_t>(data[p + 10] | (data[p + 11] << 8));
    }
    return std::nullopt;
}

[[noreturn]] void Fail(const char* what)
{
    std::fprintf(stderr, "fuzz_maxscan: %s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* input, std::size_t inputSize)
{
    if (inputSize == 0) return 0;
    const std::size_t sizeCount = input[0] % 4 + 1;
    if (inputSize < 1 + sizeCount) return 0;
    const std::uint8_t* sizes = input + 1;
    const std::uint8_t* data = input + 1 + sizeCount;
    const std::size_t size = inputSize - 1 - sizeCount;

    const std::optional<std::uint16_t> expected = ReferenceSearch(data, size);

    MaxMarkerSearch search;
    std::size_t at = 0;
    auto feed = [&](std::size_t block) {
        const bool wasFound = search.Release().has_value();
        // A copy of exactly the block, so reads past it are caught by the sanitizer.
        std::uint8_t* copy = block ? static_cast<std::uint8_t*>(std::malloc(block)) : nullptr;
        if (block) std::memcpy(copy, data + at, block);
        const bool found = search.Feed(copy, block);
        std::free(copy);
        at += block;

        if (found != search.Release().has_value()) Fail("Feed result disagrees with Release");
        if (wasFound && !found) Fail("a find was lost");
        if (found && !expected) Fail("found an occurrence the reference does not see");
        if (found && *search.Release() != *expected) Fail("found a different release");
    };
    while (at < size) {
        std::size_t cycleBytes = 0;
        for (std::size_t k = 0; k < sizeCount && at < size; ++k) {
            const std::uint8_t s = sizes[k];
            std::size_t block = (s & 0x80) ? std::size_t(s & 0x7F) * 64 : s;
            if (block > size - at) block = size - at;
            cycleBytes += block;
            feed(block);
        }
        // A cycle of empty feeds only would never end: take the rest at once.
        if (cycleBytes == 0) feed(size - at);
    }

    if (search.Release() != expected) Fail("release differs from the reference search");
    // Bytes after the end change nothing.
    search.Feed(data, size);
    if (expected && search.Release() != expected) Fail("later bytes changed the release");
    return 0;
}
