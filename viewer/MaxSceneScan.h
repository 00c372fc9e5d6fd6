// The scene-file version marker search and the release table of Kelpview.
// Pure logic: no Windows here, so it also builds and is tested natively.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// The 8 bytes that open a version marker occurrence in a .max file.
extern const std::uint8_t MaxVersionSignature[8];

// Text when the release cannot be told.
extern const wchar_t* const kUnknownMaxVersionText;

// Finds the first marker occurrence in a stream fed block by block.
// An occurrence is 12 bytes: the signature, 2 bytes not examined and the release
// number (unsigned, little-endian). It may straddle any number of blocks.
class MaxMarkerSearch {
public:
    static constexpr std::size_t kOccurrenceSize = 12;

    // Scans the next bytes of the stream. Returns true once an occurrence has been
    // found; further bytes are then ignored.
    bool Feed(const std::uint8_t* data, std::size_t size);

    // The release number of the first occurrence, if one has been found.
    std::optional<std::uint16_t> Release() const { return release_; }

private:
    bool Found(const std::uint8_t* occurrence);

    // The stream's last bytes whose positions could not be checked yet because
    // fewer than 12 bytes followed them.
    std::uint8_t tail_[kOccurrenceSize - 1] = {};
    std::size_t tailSize_ = 0;
    std::optional<std::uint16_t> release_;
};

// The release text of a release number ("max2010", ...).
std::wstring MaxReleaseText(std::uint16_t release);

// The probe's result for a stream: the release text, or the unknown-version text.
std::wstring MaxVersionTextOf(const MaxMarkerSearch& search);
