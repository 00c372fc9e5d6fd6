#include "MaxSceneScan.h"

#include <algorithm>
#include <cstring>

const std::uint8_t MaxVersionSignature[8] = {0x42, 0x30, 0x60, 0x11, 0x00, 0x00, 0x00, 0x00};

const wchar_t* const kUnknownMaxVersionText = L"无法获取版本.";

namespace {

constexpr std::size_t kTailMax = MaxMarkerSearch::kOccurrenceSize - 1;

bool IsSignatureAt(const std::uint8_t* p)
{
    return std::memcmp(p, MaxVersionSignature, sizeof MaxVersionSignature) == 0;
}

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
    if (size >= kOccurrenceSize) {
        const std::size_t last = size - kOccurrenceSize;
        std::size_t p = 0;
        while (p <= last) {
            const void* hit = std::memchr(data + p, MaxVersionSignature[0], last - p + 1);
            if (!hit) break;
            p = static_cast<std::size_t>(static_cast<const std::uint8_t*>(hit) - data);
            if (IsSignatureAt(data + p)) return Found(data + p);
            ++p;
        }
    }

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
