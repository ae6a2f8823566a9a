#pragma once

#include <filesystem>

// The program's own files (help page, sample tables, icon), found from
// where the program itself is, so that a copy installed under any prefix
// finds its own: <prefix>/bin/tabulx reads <prefix>/share/tabulon. The build
// tree stages the same files in share/tabulon of the build folder, beside
// the program's folder, so a program run where it was built finds them too.
class TProgramFiles {
public:
    // For the program file at `program`; a link is followed to the file.
    explicit TProgramFiles(const std::filesystem::path& program);
    static TProgramFiles OfRunningProgram();
    static std::filesystem::path RunningProgram();

    // The folder of the program's data; empty when none is there.
    const std::filesystem::path& DataDir() const { return fDataDir; }
    // The user's help, help/index.html in the data folder; empty when it is
    // not installed.
    std::filesystem::path HelpPage() const;
    // The sample tables; empty when they are not installed.
    std::filesystem::path SamplesDir() const;
    // The scalable icon in the hicolor theme beside the data; empty when
    // it is not there.
    std::filesystem::path IconFile() const;

private:
    std::filesystem::path fDataDir;
};
