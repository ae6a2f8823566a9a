#pragma once

// A private X server (Xvfb) on which the real program is driven as a user
// drives it, through xdotool: programs started on its display, windows
// waited for, clicks, keys and typing, the clipboard read back with xclip,
// pixels and screenshots with ImageMagick. Every step has a deadline: a
// command still running then is killed with its children, so a test never
// hangs on a window that does not come.

#include <cctype>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

struct TCommandResult {
    int Status = -1; // the exit status; 128 + the signal after one, -1 when it did not start
    bool TimedOut = false;
    std::string Out; // standard output and standard error together
};

class TXSession {
public:
    using TEnv = std::vector<std::pair<std::string, std::optional<std::string>>>;

    TXSession() { StartServer(); }
    ~TXSession() {
        for (pid_t pid : fStarted)
            Stop(pid);
        if (fServer > 0) Stop(fServer);
    }
    TXSession(const TXSession&) = delete;
    TXSession& operator=(const TXSession&) = delete;

    bool Ok() const { return !fDisplay.empty(); }
    const std::string& Display() const { return fDisplay; }
    const std::string& Problem() const { return fProblem; }

    // Runs a program on the display and waits at most `seconds` for it.
    TCommandResult Run(const std::vector<std::string>& argv, double seconds = 10,
                       const TEnv& env = {}) const {
        TCommandResult r;
        int out[2];
        if (pipe2(out, O_CLOEXEC) != 0) return r;
        const pid_t pid = Spawn(argv, env, out[1], out[1]);
        close(out[1]);
        if (pid < 0) {
            close(out[0]);
            return r;
        }
        const auto deadline = Clock::now() + Seconds(seconds);
        char buf[4096];
        for (;;) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) {
                r.TimedOut = true;
                break;
            }
            pollfd p{out[0], POLLIN, 0};
            if (poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
            const ssize_t n = read(out[0], buf, sizeof buf);
            if (n <= 0) break;
            r.Out.append(buf, static_cast<size_t>(n));
        }
        close(out[0]);
        if (r.TimedOut) kill(-pid, SIGKILL);
        r.Status = Reap(pid, r.TimedOut ? 5 : seconds + 5);
        return r;
    }

    // Starts a program on the display, its output into `log`; it is
    // stopped by Stop or at the session's end.
    pid_t Start(const std::vector<std::string>& argv, const TEnv& env,
                const std::filesystem::path& log) {
        FILE* f = std::fopen(log.c_str(), "w");
        if (!f) return -1;
        const pid_t pid = Spawn(argv, env, fileno(f), fileno(f));
        std::fclose(f);
        if (pid > 0) fStarted.push_back(pid);
        return pid;
    }

    // Whether the program still runs; its exit status in `status` when not.
    bool Running(pid_t pid, int* status = nullptr) {
        int s = 0;
        const pid_t r = waitpid(pid, &s, WNOHANG);
        if (r == 0) return true;
        Forget(pid);
        if (status) *status = WIFEXITED(s) ? WEXITSTATUS(s) : 128 + WTERMSIG(s);
        return false;
    }

    // SIGTERM, then SIGKILL after two seconds, for the program and its children.
    void Stop(pid_t pid) {
        if (pid <= 0) return;
        kill(-pid, SIGTERM);
        if (Reap(pid, 2) == kStillRunning) {
            kill(-pid, SIGKILL);
            Reap(pid, 5);
        }
        Forget(pid);
    }

    // The visible windows whose names match the extended regular
    // expression. A window that goes away during the search makes xdotool
    // fail with an X error: the ids it printed still count.
    std::vector<std::string> FindWindows(const std::string& name) const {
        std::vector<std::string> ids;
        std::istringstream lines(
            Run({"xdotool", "search", "--onlyvisible", "--name", name}, 5).Out);
        for (std::string line; std::getline(lines, line);)
            if (!line.empty() && line.find_first_not_of("0123456789") == std::string::npos)
                ids.push_back(line);
        return ids;
    }

    // The first visible window whose name matches, waited for at most
    // `seconds`; empty when none came.
    std::string WaitForWindow(const std::string& name, double seconds = 10) const {
        std::string id;
        Poll(seconds, [&] {
            const std::vector<std::string> ids = FindWindows(name);
            if (!ids.empty()) id = ids.front();
            return !id.empty();
        });
        return id;
    }

    // Waits until no visible window's name matches; false when one still does.
    bool WaitUntilGone(const std::string& name, double seconds = 10) const {
        return Poll(seconds, [&] { return FindWindows(name).empty(); });
    }

    // Clicks at a point inside a window, relative to its top left corner.
    bool Click(const std::string& window, int x, int y) const {
        return Run({"xdotool", "mousemove", "--window", window, std::to_string(x),
                    std::to_string(y), "click", "1"})
                   .Status == 0;
    }

    // Gives a window the keyboard's focus, as a window manager does when a
    // dialog over it closes.
    bool Focus(const std::string& window) const {
        return Run({"xdotool", "windowfocus", "--sync", window}, 5).Status == 0;
    }

    // Key strokes for the focused window, as xdotool names them ("ctrl+a").
    bool Keys(const std::vector<std::string>& keys) const {
        std::vector<std::string> argv{"xdotool", "key", "--delay", "30"};
        argv.insert(argv.end(), keys.begin(), keys.end());
        return Run(argv).Status == 0;
    }

    bool Type(const std::string& text) const {
        return Run({"xdotool", "type", "--delay", "15", text}, 30).Status == 0;
    }

    // The text of the desktop's clipboard (empty when nobody holds one).
    std::string Clipboard() const {
        const TCommandResult r = Run({"xclip", "-o", "-selection", "clipboard"}, 5);
        return r.Status == 0 ? r.Out : std::string();
    }

    // Waits until the clipboard holds `text`; false when it does not in time.
    bool WaitForClipboard(const std::string& text, double seconds = 5) const {
        return Poll(seconds, [&] { return Clipboard() == text; });
    }

    // The colour of one pixel of the screen as "#rrggbb"; empty on a failure.
    std::string Pixel(int x, int y) const {
        const TCommandResult r =
            Run({"import", "-window", "root", "-crop",
                 "1x1+" + std::to_string(x) + "+" + std::to_string(y), "-depth", "8", "txt:-"});
        // "# ImageMagick pixel enumeration: ...", then "0,0: (r,g,b)  #rrggbb  name".
        const size_t pixel = r.Out.find("0,0:");
        const size_t hash = pixel == std::string::npos ? pixel : r.Out.find('#', pixel);
        if (r.Status != 0 || hash == std::string::npos || hash + 7 > r.Out.size()) return {};
        std::string colour = r.Out.substr(hash, 7);
        for (char& c : colour)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return colour;
    }

    // Waits until the pixel has (or, with `equal` false, no longer has) that colour.
    bool WaitForPixel(int x, int y, const std::string& colour, bool equal = true,
                      double seconds = 5) const {
        return Poll(seconds, [&] { return (Pixel(x, y) == colour) == equal; });
    }

    // A picture of the whole screen; false when it could not be taken.
    bool Screenshot(const std::filesystem::path& png) const {
        return Run({"import", "-window", "root", png.string()}).Status == 0;
    }

    // The visible windows, one a line: id, position and size, name.
    std::string Windows() const {
        std::ostringstream out;
        for (const std::string& id : FindWindows("")) {
            std::string geometry = Run({"xdotool", "getwindowgeometry", id}).Out;
            for (char& c : geometry)
                if (c == '\n') c = ' ';
            out << id << " \"" << FirstLine(Run({"xdotool", "getwindowname", id}).Out) << "\" "
                << geometry << "\n";
        }
        return out.str();
    }

    // Calls `done` every 100 ms until it holds or `seconds` passed.
    template <class F> static bool Poll(double seconds, F done) {
        const auto deadline = Clock::now() + Seconds(seconds);
        for (;;) {
            if (done()) return true;
            if (Clock::now() >= deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }

private:
    using Clock = std::chrono::steady_clock;
    static constexpr int kStillRunning = -2;

    static std::chrono::steady_clock::duration Seconds(double s) {
        return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(s));
    }
    static std::string FirstLine(const std::string& text) {
        return text.substr(0, text.find('\n'));
    }

    // The child runs in a process group of its own, so that a kill reaches
    // what it started too.
    pid_t Spawn(const std::vector<std::string>& argv, const TEnv& env, int outFd, int errFd) const {
        const pid_t pid = fork();
        if (pid != 0) return pid;
        setpgid(0, 0);
        if (!fDisplay.empty()) setenv("DISPLAY", fDisplay.c_str(), 1);
        for (const auto& [name, value] : env) {
            if (value)
                setenv(name.c_str(), value->c_str(), 1);
            else
                unsetenv(name.c_str());
        }
        dup2(outFd, 1);
        dup2(errFd, 2);
        if (FILE* in = std::fopen("/dev/null", "r")) dup2(fileno(in), 0);
        std::vector<char*> args;
        for (const std::string& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }

    // The exit status, or kStillRunning when it did not end within `seconds`.
    static int Reap(pid_t pid, double seconds) {
        int status = 0;
        const bool ended = Poll(seconds, [&] { return waitpid(pid, &status, WNOHANG) != 0; });
        if (!ended) return kStillRunning;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    void Forget(pid_t pid) {
        for (size_t i = 0; i < fStarted.size(); ++i)
            if (fStarted[i] == pid) fStarted.erase(fStarted.begin() + static_cast<long>(i));
    }

    // A display of a range that other programs seldom take (a desktop or
    // another test's server may come and go at :0 meanwhile), tried in turn
    // until one is free: Xvfb writes the number to a pipe once it listens,
    // and ends at once when the display is taken.
    void StartServer() {
        for (int attempt = 0; attempt < 20 && fDisplay.empty(); ++attempt) {
            const int display = 300 + (static_cast<int>(getpid()) + attempt * 37) % 600;
            int fds[2];
            if (pipe(fds) != 0) break;
            const pid_t server =
                Spawn({"Xvfb", ":" + std::to_string(display), "-displayfd", std::to_string(fds[1]),
                       "-screen", "0", "1280x1024x24", "-nolisten", "tcp", "-dpi", "96"},
                      {}, 2, 2);
            close(fds[1]);
            std::string number;
            const auto deadline = Clock::now() + Seconds(20);
            char c;
            while (server > 0 && Clock::now() < deadline) {
                pollfd p{fds[0], POLLIN, 0};
                if (poll(&p, 1, 200) <= 0) continue;
                if (read(fds[0], &c, 1) != 1 || c == '\n') break;
                number += c;
            }
            close(fds[0]);
            if (server > 0 && !number.empty()) {
                fServer = server;
                fDisplay = ":" + number;
            } else if (server > 0) {
                Stop(server);
            }
        }
        if (fDisplay.empty()) fProblem = "Xvfb did not start (is the package xvfb installed?)";
    }

    pid_t fServer = -1;
    std::string fDisplay;
    std::string fProblem;
    std::vector<pid_t> fStarted;
};
