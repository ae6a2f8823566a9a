#include "data/base/CaseFold.h"
#include "data/base/TextUtils.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

TEST(CaseFold, EveryAlphabetFoldsNotOnlyAscii) {
    EXPECT_EQ(CaseFold("Иван ПЕТРОВ"), "иван петров");
    EXPECT_EQ(CaseFold("ÀÉÎÕÜ Ÿ Ő Ł"), "àéîõü ÿ ő ł");
    EXPECT_EQ(CaseFold("ΟΔΟΣ"), "οδοσ");
    EXPECT_EQ(CaseFold("οδος"), "οδοσ") << "the final sigma is a sigma";
    EXPECT_EQ(CaseFold("Straße"), "strasse") << "full folding";
    EXPECT_EQ(CaseFold("ẞ"), "ss");
    EXPECT_EQ(CaseFold("ﬁne"), "fine");
    EXPECT_EQ(CaseFold("İ"), "i\xCC\x87") << "not the Turkic folding";
    EXPECT_EQ(CaseFold("ı"), "ı");
    EXPECT_EQ(CaseFold("ԱՐԱՄ"), "արամ");
    // Beyond the two-byte characters: Glagolitic, fullwidth, Deseret; CJK has no case.
    EXPECT_EQ(CaseFold("Ⰰ Ａ 𐐀 中文"), "ⰰ ａ 𐐨 中文");
    // Characters that fold to three code points, below and above U+0800.
    EXPECT_EQ(CaseFold("ΐ"), "ι\xCC\x88\xCC\x81");
    EXPECT_EQ(CaseFold("ῒ"), "ι\xCC\x88\xCC\x80");
    EXPECT_EQ(CaseFold("ᾈ"), "ἀι");
    EXPECT_EQ(CaseFold(""), "");
    // ASCII goes eight bytes at a time: the neighbours of A-Z stay.
    EXPECT_EQ(CaseFold("@AZ[`az{@AZ[`az{\x7F!"), "@az[`az{@az[`az{\x7F!");
    EXPECT_TRUE(SameText("@AZ[`az{@AZ[`az{Ж", "@az[`AZ{@az[`AZ{ж"));
    EXPECT_FALSE(SameText("@AZ[`az{@AZ[`az{", "`az{@az[`az{@az["));
    EXPECT_EQ(CompareText("ABCDEFGH[", "abcdefgh_"), -1);
    EXPECT_TRUE(StartsText("ABCDEFGHIJ", "abcdefghijk"));
}

TEST(CaseFold, IllFormedBytesFoldToThemselves) {
    // A stray byte, a lead byte without its continuation, a truncated
    // three-byte sequence, an encoded surrogate, a lead byte at the end.
    const std::string bad = "A\xFF"
                            "B\xC3"
                            "C\xE2\x82"
                            "D\xED\xA0\x80"
                            "E\xC3";
    EXPECT_EQ(CaseFold(bad), "a\xFF"
                             "b\xC3"
                             "c\xE2\x82"
                             "d\xED\xA0\x80"
                             "e\xC3");
    EXPECT_EQ(CaseFold("\xC3\xC3\x89"), "\xC3\xC3\xA9") << "the É after the stray byte folds";
    EXPECT_EQ(CaseFold(std::string("\0A", 2)), std::string("\0a", 2));
    EXPECT_TRUE(SameText("x\xFFY", "X\xFFy"));
    EXPECT_FALSE(SameText("x\xFF", "x\xFE"));
    EXPECT_LT(CompareText("x\xFE", "X\xFF"), 0);
    EXPECT_FALSE(StartsText("\xD1", "Иван")) << "bytewise: folded и is D0 B8";
    EXPECT_TRUE(StartsText("И\xD0", "Иван")) << "bytewise: the prefix ends in the middle of в";
}

TEST(CaseFold, SameCompareAndStartsText) {
    EXPECT_TRUE(SameText("иван", "Иван"));
    EXPECT_TRUE(SameText("ΟΔΟΣ", "οδος"));
    EXPECT_TRUE(SameText("Straße", "STRASSE"));
    EXPECT_TRUE(SameText("ǅ", "ǆ"));
    EXPECT_FALSE(SameText("Иван", "Иванов"));
    EXPECT_FALSE(SameText("i", "ı"));
    EXPECT_FALSE(SameText("Strase", "Straße"));
    EXPECT_TRUE(SameText("NAME", "name")) << "ASCII as before";

    // Order is that of the folded bytes (their code points).
    EXPECT_EQ(CompareText("äpfel", "APPLE"), 1) << "ä is U+00E4, after every ASCII letter";
    EXPECT_EQ(CompareText("Zebra", "ärger"), -1);
    EXPECT_EQ(CompareText("ИВАН", "иванов"), -1);
    EXPECT_EQ(CompareText("strasse", "STRAẞE"), 0);
    EXPECT_EQ(CompareText("Я", "а"), 1);
    EXPECT_EQ(CompareText("_", "A"), -1) << "folded to lower case, '_' comes first";

    // A start of the folded text, which need not end where a character does.
    EXPECT_TRUE(StartsText("ив", "Иван"));
    EXPECT_TRUE(StartsText("STRAS", "Straße"));
    EXPECT_TRUE(StartsText("straß", "STRASSE"));
    EXPECT_FALSE(StartsText("straßen", "Strasse"));
    EXPECT_FALSE(StartsText("Ивана", "Иван"));
    EXPECT_TRUE(StartsText("", "Иван"));
    EXPECT_TRUE(StartsText("σοφ", "ΣΟΦΊΑ"));
}

// Every comparison agrees with comparing the folds, whatever the bytes.
TEST(CaseFold, ComparisonsAgreeWithTheFoldsOnRandomTexts) {
    const std::vector<std::string> pieces = {"a",        "A",
                                             "s",        "S",
                                             "ss",       "SS",
                                             "ß",        "ẞ",
                                             "Σ",        "σ",
                                             "ς",        "Ж",
                                             "ж",        "É",
                                             "é",        "_",
                                             "ΐ",        "\xFF",
                                             "\xC3",     "\xA9",
                                             "\xE2\x82", "\xF0\x9F",
                                             "中",       "𐐀",
                                             "𐐨",        std::string("\0", 1)};
    std::mt19937 rng(11);
    auto text = [&] {
        std::string s;
        for (int i = 0, n = static_cast<int>(rng() % 6); i < n; ++i)
            s += pieces[rng() % pieces.size()];
        return s;
    };
    auto sign = [](int c) { return c < 0 ? -1 : (c > 0 ? 1 : 0); };
    for (int round = 0; round < 20000; ++round) {
        const std::string a = text(), b = text();
        const std::string fa = CaseFold(a), fb = CaseFold(b);
        ASSERT_EQ(CompareText(a, b), sign(fa.compare(fb))) << a << " / " << b;
        ASSERT_EQ(CompareFolded(a, fb), sign(fa.compare(fb))) << a << " / " << b;
        ASSERT_EQ(SameText(a, b), fa == fb) << a << " / " << b;
        ASSERT_EQ(StartsText(a, b), fb.compare(0, fa.size(), fa) == 0) << a << " / " << b;
        ASSERT_EQ(IsAscii(a + a + a),
                  std::all_of(a.begin(), a.end(), [](char c) { return (c & 0x80) == 0; }));
    }
}
