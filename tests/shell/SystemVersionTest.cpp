#include "shell/SystemVersion.h"

#include <gtest/gtest.h>

TEST(SystemVersion, WindowsReleaseNames) {
    EXPECT_EQ(WindowsReleaseName(0, 3, 10), "32s");
    EXPECT_EQ(WindowsReleaseName(1, 4, 0), "95");
    EXPECT_EQ(WindowsReleaseName(1, 4, 10), "98"); // 98 SE
    EXPECT_EQ(WindowsReleaseName(1, 4, 89), "98");
    EXPECT_EQ(WindowsReleaseName(1, 4, 90), "Me");
    EXPECT_EQ(WindowsReleaseName(2, 3, 51), "NT 3.51");
    EXPECT_EQ(WindowsReleaseName(2, 4, 0), "NT 4");
    EXPECT_EQ(WindowsReleaseName(2, 5, 0), "2000");
    EXPECT_EQ(WindowsReleaseName(2, 5, 1), "XP");
    EXPECT_EQ(WindowsReleaseName(2, 5, 2), ".NET Server");
    EXPECT_EQ(WindowsReleaseName(2, 6, 0), "?");
    EXPECT_EQ(WindowsReleaseName(1, 5, 0), "?");
}

#ifndef _WIN32
// The about box names the system the program runs on, never Windows.
TEST(SystemVersion, NamesThisSystem) {
    const std::string name = GetWindowsVersionName();
    EXPECT_FALSE(name.empty());
    EXPECT_EQ(name.find("Windows"), std::string::npos) << name;
    EXPECT_FALSE(IsWindowsNT());
}
#endif
