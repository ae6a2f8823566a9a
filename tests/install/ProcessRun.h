#pragma once

// Runs a program as a user or a packaging tool would: its own environment
// changes, a folder to run in, and what it printed and its exit status back.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

struct TRunResult {
    int Status = -1; // the exit status, 128 + the signal after one
    std::string Out, Err;
};

struct TRunOptions {
    std::filesystem::path Cwd;
    // Set (with a value) or removed (without one) in the child only.
    std::vector<std::pair<std::string, std::optional<std::string>>> Env;
    std::filesystem::path Stdout; // where standard output goes; a file of its own when empty
};

inline std::string ReadWhole(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// A new empty folder under the temporary folder.
inline std::filesystem::path MakeScratchDir(const char* name) {
    std::string tmpl =
        (std::filesystem::temp_directory_path() / (std::string(name) + "-XXXXXX")).string();
    const char* made = mkdtemp(tmpl.data());
    return made ? std::filesystem::path(made) : std::filesystem::path();
}

// `argv[0]` is looked up in PATH when it has no slash.
inline TRunResult RunProgram(const std::vector<std::string>& argv,
                             const TRunOptions& options = {}) {
    const std::filesystem::path dir = MakeScratchDir("tabulon-run");
    const std::filesystem::path out = options.Stdout.empty() ? dir / "out" : options.Stdout;
    const std::filesystem::path err = dir / "err";
    pid_t pid = fork();
    if (pid == 0) {
        for (const auto& [name, value] : options.Env) {
            if (value)
                setenv(name.c_str(), value->c_str(), 1);
            else
                unsetenv(name.c_str());
        }
        if (!freopen(out.c_str(), options.Stdout.empty() ? "w" : "a", stdout) ||
            !freopen(err.c_str(), "w", stderr) || !freopen("/dev/null", "r", stdin))
            _exit(126);
        if (!options.Cwd.empty() && chdir(options.Cwd.c_str()) != 0) _exit(125);
        std::vector<char*> args;
        for (const std::string& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    TRunResult r;
    r.Status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    if (options.Stdout.empty()) r.Out = ReadWhole(out);
    r.Err = ReadWhole(err);
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    return r;
}

// Whether a program of that name is on PATH.
inline bool HaveProgram(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path ? path : "");
    for (std::string d; std::getline(dirs, d, ':');)
        if (!d.empty() && access((std::filesystem::path(d) / name).c_str(), X_OK) == 0) return true;
    return false;
}
