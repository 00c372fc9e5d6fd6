// Probes one file the way the viewer does: 256 KiB blocks (kBlockSize of
// viewer/MaxSceneProbe.cpp) read with read(), fed to the marker search until the first
// occurrence. Prints the release text, the bytes read, the time spent, the throughput
// over the file's size and the peak resident memory.
#include "MaxSceneScan.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>

namespace {

std::string Utf8(const std::wstring& text)
{
    std::string out;
    for (wchar_t wc : text) {
        const auto c = static_cast<std::uint32_t>(wc);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

// Peak resident set size of this process in KiB, or -1 when it cannot be read.
long PeakRssKiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: probe_bench FILE\n");
        return 2;
    }
    const int fd = open(argv[1], O_RDONLY);
    if (fd < 0) {
        std::fprintf(stderr, "probe_bench: %s: %s\n", argv[1], std::strerror(errno));
        return 1;
    }
    struct stat st {};
    fstat(fd, &st);

    constexpr std::size_t kBlock = 256 << 10;
    const std::unique_ptr<std::uint8_t[]> buffer(new std::uint8_t[kBlock]);
    MaxMarkerSearch search;
    std::uint64_t bytesRead = 0;

    const auto start = std::chrono::steady_clock::now();
    for (;;) {
        const ssize_t n = read(fd, buffer.get(), kBlock);
        if (n < 0) {
            if (errno == EINTR) continue;
            std::fprintf(stderr, "probe_bench: read: %s\n", std::strerror(errno));
            return 1;
        }
        if (n == 0) break;
        bytesRead += static_cast<std::uint64_t>(n);
        if (search.Feed(buffer.get(), static_cast<std::size_t>(n))) break;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    close(fd);

    std::printf("release: %s\n", Utf8(MaxVersionTextOf(search)).c_str());
    std::printf("file_bytes: %lld\n", static_cast<long long>(st.st_size));
    std::printf("bytes_read: %llu\n", static_cast<unsigned long long>(bytesRead));
    std::printf("seconds: %.6f\n", seconds);
    std::printf("file_mb_per_s: %.1f\n", seconds > 0 ? st.st_size / 1e6 / seconds : 0.0);
    std::printf("peak_rss_kib: %ld\n", PeakRssKiB());
    return 0;
}
