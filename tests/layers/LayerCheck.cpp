// Checks every #include of the source tree against the rules of
// docs/layers.md and prints file:line for each one that breaks them.
//
//   layer_check SOURCE-ROOT
//
// The rules are the rows of the tables in docs/layers.md whose first cell is
// a path in backquotes. A row of a folder ("data/base/") rules the files
// directly in it; a row ending in "**" ("tests/**") rules the folder and
// every folder below it that has no row of its own; a row of one file adds
// to its folder's row. The second cell names what the files may include
// besides their own folder: "data/base/" the files directly in a folder,
// "data/**" a folder and all below it, a single file, or "!path" to take a
// file or folder out again. The third names the system headers: "std" (the
// C++ and C standard libraries), "posix" (the POSIX headers), "any", or a
// name that may end in "*" ("unicode/*", "Q*").
//
// An include in quotes must name a file of the tree by its path from the
// root. A file under no row is reported too, so that a new folder gets its
// rule before it gets its code. Exit status 0 when nothing breaks a rule, 1
// otherwise, 2 when the rules cannot be read.

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct TRule {
    std::string Path;                // "data/base/", "tests/**", or a file
    std::vector<std::string> May;    // project paths that may be included
    std::vector<std::string> MayNot; // taken out again ("!path")
    std::vector<std::string> System; // std, posix, any, or patterns
    int Line = 0;
};

const std::set<std::string, std::less<>>& StandardHeaders() {
    static const std::set<std::string, std::less<>> names = {
        // C++
        "algorithm", "any", "array", "atomic", "barrier", "bit", "bitset", "cassert", "cctype",
        "cerrno", "cfenv", "cfloat", "charconv", "chrono", "cinttypes", "climits", "clocale",
        "cmath", "codecvt", "compare", "complex", "concepts", "condition_variable", "coroutine",
        "csetjmp", "csignal", "cstdarg", "cstddef", "cstdint", "cstdio", "cstdlib", "cstring",
        "ctime", "cuchar", "cwchar", "cwctype", "deque", "exception", "execution", "expected",
        "filesystem", "format", "forward_list", "fstream", "functional", "future",
        "initializer_list", "iomanip", "ios", "iosfwd", "iostream", "istream", "iterator", "latch",
        "limits", "list", "locale", "map", "memory", "memory_resource", "mutex", "new", "numbers",
        "numeric", "optional", "ostream", "queue", "random", "ranges", "ratio", "regex",
        "scoped_allocator", "semaphore", "set", "shared_mutex", "source_location", "span",
        "sstream", "stack", "stdexcept", "stop_token", "streambuf", "string", "string_view",
        "syncstream", "system_error", "thread", "tuple", "type_traits", "typeindex", "typeinfo",
        "unordered_map", "unordered_set", "utility", "valarray", "variant", "vector", "version",
        // C
        "assert.h", "ctype.h", "errno.h", "fenv.h", "float.h", "inttypes.h", "limits.h", "locale.h",
        "math.h", "setjmp.h", "signal.h", "stdarg.h", "stddef.h", "stdint.h", "stdio.h", "stdlib.h",
        "string.h", "time.h", "uchar.h", "wchar.h", "wctype.h"};
    return names;
}

bool IsPosixHeader(std::string_view name) {
    static const std::set<std::string, std::less<>> names = {
        "dirent.h", "dlfcn.h",   "fcntl.h",  "glob.h",  "grp.h",     "iconv.h",     "langinfo.h",
        "libgen.h", "link.h",    "poll.h",   "pwd.h",   "sched.h",   "spawn.h",     "strings.h",
        "syslog.h", "termios.h", "unistd.h", "utime.h", "pthread.h", "semaphore.h", "fnmatch.h"};
    return names.count(name) > 0 || name.starts_with("sys/") || name.starts_with("netinet/") ||
           name.starts_with("arpa/");
}

bool Glob(std::string_view pattern, std::string_view name) {
    if (!pattern.empty() && pattern.back() == '*')
        return name.starts_with(pattern.substr(0, pattern.size() - 1));
    return pattern == name;
}

std::string Trim(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t'))
        ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r'))
        --e;
    return std::string(s.substr(b, e - b));
}

// The texts in backquotes of a table cell.
std::vector<std::string> Quoted(std::string_view cell) {
    std::vector<std::string> out;
    for (size_t i = cell.find('`'); i != std::string_view::npos; i = cell.find('`', i)) {
        const size_t j = cell.find('`', i + 1);
        if (j == std::string_view::npos) break;
        out.emplace_back(cell.substr(i + 1, j - i - 1));
        i = j + 1;
    }
    return out;
}

std::vector<std::string> Cells(const std::string& line) {
    std::vector<std::string> cells;
    std::string cell;
    bool inCode = false;
    for (size_t i = 1; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '`') inCode = !inCode;
        if (c == '|' && !inCode) {
            cells.push_back(Trim(cell));
            cell.clear();
        } else {
            cell += c;
        }
    }
    return cells;
}

bool ReadRules(const fs::path& file, std::map<std::string, TRule>& rules) {
    std::ifstream in(file);
    if (!in) {
        std::cerr << file.string() << ": cannot be read\n";
        return false;
    }
    std::string line;
    int n = 0;
    bool ok = true;
    while (std::getline(in, line)) {
        ++n;
        if (!line.starts_with("| `")) continue;
        const std::vector<std::string> cells = Cells(line);
        const std::vector<std::string> path =
            cells.empty() ? std::vector<std::string>{} : Quoted(cells[0]);
        if (cells.size() < 3 || path.size() != 1) {
            std::cerr << file.string() << ":" << n << ": a rule row needs a path, what it may "
                      << "include and its system headers\n";
            ok = false;
            continue;
        }
        TRule r;
        r.Path = path[0];
        r.Line = n;
        for (const std::string& p : Quoted(cells[1])) {
            if (p.starts_with("!"))
                r.MayNot.push_back(p.substr(1));
            else
                r.May.push_back(p);
        }
        r.System = Quoted(cells[2]);
        if (!rules.emplace(r.Path, r).second) {
            std::cerr << file.string() << ":" << n << ": a second rule for " << r.Path << "\n";
            ok = false;
        }
    }
    if (rules.empty()) {
        std::cerr << file.string() << ": holds no rules\n";
        ok = false;
    }
    return ok;
}

std::string Folder(const std::string& file) {
    const size_t slash = file.rfind('/');
    return slash == std::string::npos ? std::string() : file.substr(0, slash + 1);
}

// The folder row that rules `file`, or nullptr.
const TRule* FolderRule(const std::map<std::string, TRule>& rules, const std::string& file) {
    const std::string folder = Folder(file);
    if (auto it = rules.find(folder); it != rules.end()) return &it->second;
    for (std::string f = folder; !f.empty();) {
        if (auto it = rules.find(f + "**"); it != rules.end()) return &it->second;
        f.pop_back();
        f = Folder(f);
    }
    if (auto it = rules.find("**"); it != rules.end()) return &it->second;
    return nullptr;
}

// Whether a project path matches a rule's entry.
bool Covers(const std::string& entry, const std::string& target) {
    if (entry.ends_with("**")) return target.starts_with(entry.substr(0, entry.size() - 2));
    if (entry.ends_with("/")) return Folder(target) == entry;
    return target == entry;
}

// The scope that counts as the rule's own folder.
std::string Own(const TRule& r) {
    if (r.Path.ends_with("**")) return r.Path;
    return Folder(r.Path);
}

bool SkippedFolder(const fs::path& dir) {
    const std::string name = dir.filename().string();
    return name.starts_with(".") || name.starts_with("build") || fs::exists(dir / "CMakeCache.txt");
}

bool SourceFile(const fs::path& p) {
    const std::string ext = p.extension().string();
    return ext == ".h" || ext == ".hpp" || ext == ".cpp" || ext == ".cc" || ext == ".c";
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: layer_check SOURCE-ROOT\n";
        return 2;
    }
    const fs::path root = argv[1];
    std::map<std::string, TRule> rules;
    if (!ReadRules(root / "docs/layers.md", rules)) return 2;

    std::vector<std::string> files;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator();
         ++it) {
        if (it->is_directory()) {
            if (SkippedFolder(it->path())) it.disable_recursion_pending();
            continue;
        }
        if (it->is_regular_file() && SourceFile(it->path()))
            files.push_back(fs::relative(it->path(), root).generic_string());
    }
    std::sort(files.begin(), files.end());

    int breaks = 0;
    for (const std::string& file : files) {
        const TRule* folderRule = FolderRule(rules, file);
        if (!folderRule) {
            std::cout << file << ":1: no rule in docs/layers.md for the folder " << Folder(file)
                      << "\n";
            ++breaks;
            continue;
        }
        std::vector<const TRule*> applying = {folderRule};
        if (auto it = rules.find(file); it != rules.end()) applying.push_back(&it->second);

        std::ifstream in(root / file);
        std::string line;
        int n = 0;
        while (std::getline(in, line)) {
            ++n;
            std::string_view s = line;
            while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
                s.remove_prefix(1);
            if (!s.starts_with("#")) continue;
            s.remove_prefix(1);
            while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
                s.remove_prefix(1);
            if (!s.starts_with("include")) continue;
            s.remove_prefix(7);
            while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
                s.remove_prefix(1);
            if (s.size() < 2 || (s[0] != '"' && s[0] != '<')) continue;
            const char close = s[0] == '"' ? '"' : '>';
            const size_t end = s.find(close, 1);
            if (end == std::string_view::npos) continue;
            const std::string target(s.substr(1, end - 1));
            const bool quoted = s[0] == '"';
            auto report = [&](const std::string& why) {
                std::cout << file << ":" << n << ": includes " << (quoted ? '"' : '<') << target
                          << (quoted ? '"' : '>') << ": " << why << "\n";
                ++breaks;
            };

            const bool project = quoted || fs::is_regular_file(root / target);
            if (project) {
                if (target.ends_with(".moc")) continue; // made by the build
                if (!fs::is_regular_file(root / target)) {
                    report("not a path from the repository root");
                    continue;
                }
                bool allowed = false, refused = false;
                for (const TRule* r : applying) {
                    if (Covers(Own(*r), target)) allowed = true;
                    for (const std::string& m : r->May)
                        if (Covers(m, target)) allowed = true;
                }
                for (const TRule* r : applying)
                    for (const std::string& m : r->MayNot)
                        if (Covers(m, target)) refused = true;
                if (!allowed || refused)
                    report("the rule of " + folderRule->Path + " (docs/layers.md:" +
                           std::to_string(folderRule->Line) + ") does not let it");
                continue;
            }
            bool allowed = false;
            for (const TRule* r : applying)
                for (const std::string& p : r->System) {
                    if (p == "any" || (p == "std" && StandardHeaders().count(target)) ||
                        (p == "posix" && IsPosixHeader(target)) || Glob(p, target))
                        allowed = true;
                }
            if (!allowed)
                report("a system header that the rule of " + folderRule->Path +
                       " (docs/layers.md:" + std::to_string(folderRule->Line) + ") does not name");
        }
    }
    if (breaks) {
        std::cout << breaks << " include(s) break the rules of docs/layers.md\n";
        return 1;
    }
    std::cout << files.size() << " files follow the rules of docs/layers.md\n";
    return 0;
}
