#pragma once

// Running the real programs that open exported documents: a temporary
// folder per test, commands run without a shell, LibreOffice headless with
// a profile of its own so that parallel tests do not share one.

#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace readers {

inline std::string ReadFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

inline void WriteFile(const std::filesystem::path& p, const std::string& data) {
    std::ofstream out(p, std::ios::binary);
    out << data;
}

// A folder that lives as long as the object; names in it are paths.
class TTempDir : public TTempFolder {
public:
    TTempDir() : TTempFolder("tabulon-reader") {}
    std::filesystem::path operator/(const std::string& name) const { return Path() / name; }
};

struct TRunResult {
    int ExitCode = -1;
    std::string Output; // standard output and standard error together
};

// Runs a program with arguments (no shell), waiting at most `seconds`.
inline TRunResult Run(const std::vector<std::string>& argv, int seconds = 120) {
    TRunResult result;
    int pipefd[2];
    if (pipe(pipefd) != 0) return result;
    pid_t pid = fork();
    if (pid == 0) {
        dup2(pipefd[1], 1);
        dup2(pipefd[1], 2);
        close(pipefd[0]);
        close(pipefd[1]);
        std::vector<char*> args;
        for (const std::string& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        alarm(static_cast<unsigned>(seconds));
        execvp(args[0], args.data());
        _exit(127);
    }
    close(pipefd[1]);
    char buf[4096];
    ssize_t n;
    while ((n = read(pipefd[0], buf, sizeof buf)) > 0)
        result.Output.append(buf, static_cast<size_t>(n));
    close(pipefd[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    result.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

// Converts `input` with LibreOffice headless (e.g. filter "txt:Text",
// "csv:Text - txt - csv (StarCalc):44,34,76", "pdf") into `outDir`; returns
// the path of the converted file, or an empty path with the program's output
// added to the test's failure message.
inline std::filesystem::path ConvertWithLibreOffice(const std::filesystem::path& input,
                                                    const std::string& filter,
                                                    const std::filesystem::path& outDir,
                                                    const std::string& infilter = "") {
    TTempDir profile;
    std::vector<std::string> argv = {
        "soffice",      "-env:UserInstallation=file://" + profile.Path().string(),
        "--headless",   "--norestore",
        "--convert-to", filter};
    if (!infilter.empty()) argv.push_back("--infilter=" + infilter);
    argv.push_back("--outdir");
    argv.push_back(outDir.string());
    argv.push_back(input.string());
    TRunResult r = Run(argv, 180);
    std::string ext = filter.substr(0, filter.find(':'));
    std::filesystem::path out = outDir / input.stem();
    out += "." + ext;
    if (r.ExitCode != 0 || !std::filesystem::exists(out)) {
        ADD_FAILURE() << "LibreOffice could not convert " << input << " to " << filter << ":\n"
                      << r.Output;
        return {};
    }
    return out;
}

// Runs a Python script of the reader tests' folder with Debian's python3
// (which has python3-lxml), passing arguments.
inline TRunResult RunPython(const std::string& script, const std::vector<std::string>& args) {
    std::vector<std::string> argv = {"/usr/bin/python3",
                                     std::string(TABULON_READER_SCRIPTS) + "/" + script};
    argv.insert(argv.end(), args.begin(), args.end());
    return Run(argv, 60);
}

} // namespace readers
