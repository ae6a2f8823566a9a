#pragma once
// What the export benchmarks time against: the clock and the plain write of
// as many bytes as an export wrote.
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <vector>

using TClock = std::chrono::steady_clock;

inline double SecondsSince(TClock::time_point start) {
    return std::chrono::duration<double>(TClock::now() - start).count();
}

inline bool AllDigits(const char* s) {
    if (!*s) return false;
    for (; *s; ++s)
        if (*s < '0' || *s > '9') return false;
    return true;
}

// The limit: the same number of bytes through a 64 KiB buffer and write(),
// synced like the export's file.
inline double CopyBytes(const std::string& path, uint64_t bytes) {
    std::vector<char> buffer(1 << 16);
    for (size_t i = 0; i < buffer.size(); ++i)
        buffer[i] = static_cast<char>('A' + i % 26);
    const auto start = TClock::now();
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) throw std::runtime_error("Cannot create " + path + ": " + std::strerror(errno));
    uint64_t left = bytes;
    while (left > 0) {
        const size_t chunk = left < buffer.size() ? static_cast<size_t>(left) : buffer.size();
        size_t done = 0;
        while (done < chunk) {
            const ssize_t n = ::write(fd, buffer.data() + done, chunk - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                ::close(fd);
                throw std::runtime_error("Cannot write " + path + ": " + std::strerror(errno));
            }
            done += static_cast<size_t>(n);
        }
        left -= chunk;
    }
    ::fsync(fd);
    ::close(fd);
    return SecondsSince(start);
}
