#include "data/base/KXUtils.h"
#include "data/platform/KXFileUtils.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

TEST(ReplaceAllText, CaseAndNoRescan) {
    EXPECT_EQ(ReplaceAllText("abcABC", "b", "x", true), "axcAxC");
    EXPECT_EQ(ReplaceAllText("abcABC", "b", "x", false), "axcABC");
    // The comparison is upper-cased, the output keeps the text's letters.
    EXPECT_EQ(ReplaceAllText("%ProgramFiles%\\m.exe", "%PROGRAMFILES%", "C:\\P", true),
              "C:\\P\\m.exe");
    // What was inserted is not scanned again.
    EXPECT_EQ(ReplaceAllText("a&b&", "&", "&amp", false), "a&ampb&amp");
    EXPECT_EQ(ReplaceAllText("aaa", "a", "aa", false), "aaaaaa");
    // Occurrences do not overlap: scanning goes on after each one.
    EXPECT_EQ(ReplaceAllText("aaaa", "aa", "b", false), "bb");
    EXPECT_EQ(ReplaceAllText("aaa", "aa", "b", false), "ba");
}

TEST(ReplaceAllText, EdgeCases) {
    EXPECT_EQ(ReplaceAllText("abc", "", "x", false), "abc");
    EXPECT_EQ(ReplaceAllText("abc", "", "x", true), "abc");
    EXPECT_EQ(ReplaceAllText("", "a", "x", true), "");
    EXPECT_EQ(ReplaceAllText("abc", "abcd", "x", true), "abc");
    EXPECT_EQ(ReplaceAllText("abc", "abc", "", false), "");
    EXPECT_EQ(ReplaceAllText("xabc", "C", "!", true), "xab!");
    // Bytes beyond ASCII compare as they are and are never split.
    EXPECT_EQ(ReplaceAllText("Zoë ZOË", "ë", "e", true), "Zoe ZOË");
    EXPECT_EQ(ReplaceAllText(std::string("a\0b", 3), std::string("\0", 1), "-", false), "a-b");
}

TEST(DirectoryExists, DirectoriesOnly) {
    TTempFolder folder("kxutils");
    const std::filesystem::path& dir = folder.Path();
    EXPECT_TRUE(DirectoryExists(dir.string()));
    EXPECT_TRUE(DirectoryExists(dir.string() + "/"));
    std::ofstream(dir / "file.txt") << "x";
    EXPECT_FALSE(DirectoryExists((dir / "file.txt").string()));
    EXPECT_FALSE(DirectoryExists((dir / "missing").string()));
    EXPECT_FALSE(DirectoryExists(""));
    std::filesystem::create_directory_symlink(dir, dir / "link");
    EXPECT_TRUE(DirectoryExists((dir / "link").string()));
}

TEST(ExtractBetween, QuotedProgramOfACommandLine) {
    EXPECT_EQ(ExtractBetween("a\"b\"c", '"'), "b");
    EXPECT_EQ(ExtractBetween("a\"bc", '"'), "bc");
    EXPECT_EQ(ExtractBetween("abc", '"'), "abc");
    EXPECT_EQ(ExtractBetween("\"C:\\Program Files\\Mail\\mail.exe\" /mailurl:%1", '"'),
              "C:\\Program Files\\Mail\\mail.exe");
    EXPECT_EQ(ExtractBetween("\"\"x", '"'), "");
    EXPECT_EQ(ExtractBetween("", '"'), "");
}
