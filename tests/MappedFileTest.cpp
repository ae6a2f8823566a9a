#include "data/platform/MappedFile.h"
#include "data/base/DatabaseError.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {
// The file-backed pages resident in this process, in kB.
long RssFileKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("RssFile:", 0) == 0) return std::stol(line.substr(8));
    return -1;
}

std::string WriteFile(const std::string& name, size_t size) {
    const std::string path = ::testing::TempDir() + "/" + name;
    std::ofstream out(path, std::ios::binary);
    std::string block(1 << 20, 'x');
    for (size_t i = 0; i < size; i += block.size())
        out.write(block.data(), static_cast<std::streamsize>(std::min(block.size(), size - i)));
    return path;
}
} // namespace

TEST(MappedFile, AForwardScanKeepsOnlyAWindowResident) {
    const size_t size = 96u << 20;
    const std::string path = WriteFile("mapped_scan.bin", size);
    if (RssFileKb() < 0) GTEST_SKIP() << "no /proc/self/status";
    const long page = ::sysconf(_SC_PAGESIZE);
    long peak = 0;
    unsigned sum = 0;
    {
        TMappedFile map(path);
        ASSERT_EQ(map.Size(), size);
        const long before = RssFileKb();
        for (size_t at = 0; at < size; at += static_cast<size_t>(page)) {
            map.Passing(at);
            sum += map.Data()[at];
            if (at % (4u << 20) == 0) peak = std::max(peak, RssFileKb() - before);
        }
        // Going back reads the same bytes again.
        map.Passing(0);
        EXPECT_EQ(map.Data()[0], 'x');
        EXPECT_EQ(map.Data()[size - 1], 'x');
    }
    EXPECT_EQ(sum, static_cast<unsigned>(size / static_cast<size_t>(page)) * 'x');
    EXPECT_LT(peak, 3 * static_cast<long>(TMappedFile::KeepWindow / 1024)) << peak << " kB";
    std::remove(path.c_str());
}

TEST(MappedFile, MissingAndEmptyFiles) {
    EXPECT_THROW(TMappedFile("/nonexistent/table.dbf"), EDatabaseError);
    const std::string path = WriteFile("mapped_empty.bin", 0);
    TMappedFile empty(path);
    EXPECT_EQ(empty.Size(), 0u);
    empty.Passing(12345); // nothing mapped: nothing to release
    std::remove(path.c_str());
}
