#include "export/SpillStream.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {
std::string Pattern(size_t n, uint32_t seed) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) {
        seed = seed * 1103515245u + 12345u;
        s[i] = static_cast<char>(seed >> 24);
    }
    return s;
}
} // namespace

TEST(SpillStream, KeepsEveryByteInOrderAcrossMemoryAndFile) {
    for (size_t limit : {size_t{0}, size_t{7}, size_t{1} << 20, size_t{64} << 20}) {
        SCOPED_TRACE(limit);
        TSpillStream spill(std::string(), limit);
        const std::string data = Pattern(3'500'001, 42);
        // Pieces of odd sizes, some larger than the file buffer.
        size_t at = 0, piece = 1;
        while (at < data.size()) {
            const size_t n = std::min(piece, data.size() - at);
            spill.Write(data.data() + at, n);
            at += n;
            piece = piece * 3 + 1;
            if (piece > 2'000'000) piece = 5;
        }
        EXPECT_EQ(spill.Size(), data.size());
        EXPECT_EQ(spill.Spilled(), limit < data.size());
        TMemoryStream out;
        spill.CopyTo(out);
        EXPECT_TRUE(out.Data() == data);
        spill.Clear();
        EXPECT_EQ(spill.Size(), 0u);
        spill.Write("again");
        TMemoryStream second;
        spill.CopyTo(second);
        EXPECT_EQ(second.Data(), "again");
    }
}

TEST(SpillStream, AFolderThatCannotHoldTheFileRaisesOnlyWhenItIsNeeded) {
    TSpillStream spill("/nonexistent-folder-of-tabulon", 10);
    spill.Write("0123456789"); // fits in memory
    try {
        spill.Write("x");
        FAIL() << "no error";
    } catch (const EStreamError& e) {
        EXPECT_NE(std::string(e.what()).find("/nonexistent-folder-of-tabulon"), std::string::npos)
            << e.what();
    }
}
