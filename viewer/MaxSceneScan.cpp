#include "MaxSceneScan.h"

#include <algorithm>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

const std::uint8_t MaxVersionSignature[8] = {0x42, 0x30, 0x60, 0x11, 0x00, 0x00, 0x00, 0x00};

const wchar_t* const kUnknownMaxVersionText = L"无法获取版本.";

namespace {

constexpr std::size_t kTailMax = MaxMarkerSearch::kOccurrenceSize - 1;

bool IsSignatureAt(const std::uint8_t* p)
{
    return std::memcmp(p, MaxVersionSignature, sizeof MaxVersionSignature) == 0;
}

// The first position in [p, end) where the signature begins, or null. Every position in
// the range must have 12 readable bytes. Portable: memchr finds the candidates.
const std::uint8_t* FindPortable(const std::uint8_t* p, const std::uint8_t* end)
{
    while (p < end) {
        p = static_cast<const std::uint8_t*>(
            std::memchr(p, MaxVersionSignature[0], static_cast<std::size_t>(end - p)));
        if (!p) return nullptr;
        if (IsSignatureAt(p)) return p;
        ++p;
    }
    return nullptr;
}

#if (defined(__x86_64__) || defined(__i386__)) && !defined(MAXSCAN_PORTABLE_ONLY)

// The candidates among the 32 positions from p, as bytes 0xFF: those whose byte 0 is 0x42
// and whose byte 3 is 0x11. In random data only one position in 65536 passes, so the rare
// candidates can then be checked in full; memchr alone stops at every 0x42, about every
// 256 bytes. The loads reach 3 bytes past the last position, well within its 12 bytes.
__attribute__((target("avx2"), always_inline)) inline __m256i Candidates(const std::uint8_t* p)
{
    const __m256i at0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    const __m256i at3 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 3));
    return _mm256_and_si256(
        _mm256_cmpeq_epi8(at0, _mm256_set1_epi8(static_cast<char>(MaxVersionSignature[0]))),
        _mm256_cmpeq_epi8(at3, _mm256_set1_epi8(static_cast<char>(MaxVersionSignature[3]))));
}

// The same as FindPortable with AVX2, 64 positions a round. (SSE2's 16-byte vectors take
// twice the compares, and that left the search too slow beside the reads.)
__attribute__((target("avx2"))) const std::uint8_t* FindAvx2(const std::uint8_t* p,
                                                            const std::uint8_t* end)
{
    for (; end - p >= 64; p += 64) {
        const __m256i low = Candidates(p), high = Candidates(p + 32);
        const __m256i any = _mm256_or_si256(low, high);
        if (_mm256_testz_si256(any, any)) continue;
        // One bit per position of the round, lowest first.
        const std::uint32_t lowBits = static_cast<std::uint32_t>(_mm256_movemask_epi8(low));
        const std::uint32_t highBits = static_cast<std::uint32_t>(_mm256_movemask_epi8(high));
        std::uint64_t mask = std::uint64_t{highBits} << 32 | lowBits;
        for (; mask != 0; mask &= mask - 1) {
            const std::uint8_t* q = p + __builtin_ctzll(mask);
            if (IsSignatureAt(q)) return q;
        }
    }
    return FindPortable(p, end); // the last positions, fewer than 64
}

bool HasAvx2()
{
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}

// AVX2 only where the processor has it: the builds target processors without it.
const std::uint8_t* Find(const std::uint8_t* p, const std::uint8_t* end)
{
    static const bool avx2 = HasAvx2();
    return avx2 ? FindAvx2(p, end) : FindPortable(p, end);
}

#else // not x86, or forced for the tests

const std::uint8_t* Find(const std::uint8_t* p, const std::uint8_t* end)
{
    return FindPortable(p, end);
}

#endif

} // namespace

bool MaxMarkerSearch::Found(const std::uint8_t* occurrence)
{
    release_ = static_cast<std::uint16_t>(occurrence[10] | (occurrence[11] << 8));
    return true;
}

bool MaxMarkerSearch::Feed(const std::uint8_t* data, std::size_t size)
{
    if (release_) return true;
    if (size == 0) return false;

    // Positions that begin in the unchecked tail: the tail joined with the block's head.
    std::uint8_t joined[2 * kTailMax];
    const std::size_t head = std::min(size, kTailMax);
    std::memcpy(joined, tail_, tailSize_);
    std::memcpy(joined + tailSize_, data, head);
    const std::size_t joinedSize = tailSize_ + head;
    for (std::size_t p = 0; p < tailSize_ && p + kOccurrenceSize <= joinedSize; ++p)
        if (IsSignatureAt(joined + p)) return Found(joined + p);

    // Positions that lie wholly inside the block.
    if (size >= kOccurrenceSize)
        if (const std::uint8_t* hit = Find(data, data + size - kTailMax)) return Found(hit);

    // Everything but the stream's last 11 bytes has now been checked.
    if (size >= kTailMax) {
        std::memcpy(tail_, data + size - kTailMax, kTailMax);
        tailSize_ = kTailMax;
    } else {
        const std::size_t keep = std::min(joinedSize, kTailMax);
        std::memmove(tail_, joined + joinedSize - keep, keep);
        tailSize_ = keep;
    }
    return false;
}

std::wstring MaxReleaseText(std::uint16_t release)
{
    struct Row { unsigned upTo; const wchar_t* text; };
    static const Row table[] = {
        {8999, L"max9以下版本."}, {9999, L"max9"},     {10999, L"max2008"},
        {11999, L"max2009"},      {12999, L"max2010"}, {13999, L"max2011"},
        {14999, L"max2012"},      {65535, L"无法获取的MAX版本"},
    };
    for (const Row& row : table)
        if (release <= row.upTo) return row.text;
    return kUnknownMaxVersionText; // not reached: the last row covers every number
}

std::wstring MaxVersionTextOf(const MaxMarkerSearch& search)
{
    const auto release = search.Release();
    return release ? MaxReleaseText(*release) : std::wstring(kUnknownMaxVersionText);
}
