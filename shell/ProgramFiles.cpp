#include "shell/ProgramFiles.h"

#include <QCoreApplication>
#include <QString>
#include <system_error>

namespace fs = std::filesystem;

namespace {
bool IsDir(const fs::path& p) {
    std::error_code ec;
    return !p.empty() && fs::is_directory(p, ec);
}
bool IsFile(const fs::path& p) {
    std::error_code ec;
    return !p.empty() && fs::is_regular_file(p, ec);
}
} // namespace

TProgramFiles::TProgramFiles(const fs::path& program) {
    if (program.empty()) return;
    std::error_code ec;
    fs::path file = fs::canonical(program, ec);
    if (ec) file = fs::absolute(program, ec).lexically_normal();
    const fs::path dir = file.parent_path();
    // The installed layout as configured (bindir to datadir), then the
    // default one, which is also the build tree's.
    for (const fs::path& rel :
         {fs::path(TABULON_DATA_FROM_PROGRAM), fs::path("../share/tabulon")}) {
        fs::path candidate = (dir / rel).lexically_normal();
        if (IsDir(candidate)) {
            fDataDir = candidate;
            return;
        }
    }
}

fs::path TProgramFiles::RunningProgram() {
    std::error_code ec;
    fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (!ec) return self;
    // Systems without /proc ask the application object.
    if (QCoreApplication::instance())
        return fs::path(QCoreApplication::applicationFilePath().toStdU16String());
    return {};
}

TProgramFiles TProgramFiles::OfRunningProgram() {
    return TProgramFiles(RunningProgram());
}

fs::path TProgramFiles::HelpPage() const {
    fs::path page = fDataDir.empty() ? fs::path() : fDataDir / "help" / "index.html";
    return IsFile(page) ? page : fs::path();
}

fs::path TProgramFiles::SamplesDir() const {
    fs::path dir = fDataDir.empty() ? fs::path() : fDataDir / "samples";
    return IsDir(dir) ? dir : fs::path();
}

fs::path TProgramFiles::IconFile() const {
    fs::path icon = fDataDir.empty() ? fs::path()
                                     : fDataDir.parent_path() / "icons" / "hicolor" / "scalable" /
                                           "apps" / "tabulon.svg";
    return IsFile(icon) ? icon : fs::path();
}
