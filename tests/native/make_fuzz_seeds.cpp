// Writes the starting corpus of fuzz_maxscan into a directory: inputs with occurrences
// at the edges, near misses, overlaps and two occurrences, under several block layouts.
// The corpus is binary, so it is made at build time rather than kept in the repository.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Occurrence(std::uint16_t release)
{
    return {0x42, 0x30, 0x60, 0x11, 0x00, 0x00, 0x00, 0x00, 0xAA, 0xBB,
            static_cast<std::uint8_t>(release & 0xFF), static_cast<std::uint8_t>(release >> 8)};
}

Bytes operator+(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_fuzz_seeds DIR\n");
        return 2;
    }
    const Bytes occurrence = Occurrence(12000);
    const Bytes nearMiss = {0x42, 0x30, 0x60, 0x11, 0x00, 0x00, 0x00};
    Bytes candidates; // 0x42 and, 3 bytes on, 0x11 at every fourth position
    for (int i = 0; i < 20; ++i) candidates = candidates + Bytes{0x42, 0x42, 0x42, 0x11};
    const Bytes bodies[] = {
        occurrence,
        Bytes(occurrence.begin(), occurrence.end() - 1),
        Bytes(5, 0x42) + Occurrence(9000) + Bytes(3, 0),
        nearMiss + Occurrence(14999),
        nearMiss + nearMiss + Bytes(40, 0x11) + nearMiss,
        Occurrence(8999) + Occurrence(15000),
        Bytes(300, 0x42) + Occurrence(65535),
        // Positions whose bytes 0 and 3 match but the rest does not, across several
        // 64-position rounds of the vector scan, then two occurrences close together.
        Bytes(3) + candidates + candidates + nearMiss + candidates + Bytes(5) +
            Occurrence(10000) + Bytes(7) + Occurrence(11000),
    };
    // Block layouts: the count byte, then the size bytes.
    const Bytes layouts[] = {{0, 1},    {1, 5, 7},      {3, 0, 11, 12, 3},
                             {0, 0x81}, {2, 2, 0, 13},  {0, 0xFF}, {1, 200, 0x82}};
    int written = 0;
    for (std::size_t l = 0; l < sizeof layouts / sizeof layouts[0]; ++l)
        for (std::size_t b = 0; b < sizeof bodies / sizeof bodies[0]; ++b) {
            const Bytes input = layouts[l] + bodies[b];
            const std::string path =
                std::string(argv[1]) + "/seed-" + std::to_string(l) + "-" + std::to_string(b);
            std::FILE* f = std::fopen(path.c_str(), "wb");
            if (!f || std::fwrite(input.data(), 1, input.size(), f) != input.size() ||
                std::fclose(f) != 0) {
                std::perror(path.c_str());
                return 1;
            }
            ++written;
        }
    std::printf("%d seeds in %s\n", written, argv[1]);
    return 0;
}
