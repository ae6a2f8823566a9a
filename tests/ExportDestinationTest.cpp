// Where an export may write and what it must never destroy: the open
// table, destinations that are not plain files, files and folders this
// user may not write, long names, full disks, interruptions, and the
// pictures folder of an HTML document.
#include "tests/support/PictureTestSupport.h"
#include "tests/support/TableFileTestSupport.h"
#include "tests/support/TestTables.h"

#include "data/base/DatabaseError.h"
#include "data/drivers/dbf/DbfWriter.h"
#include "data/drivers/paradox/ParadoxWriter.h"
#include "data/drivers/text/DelimitedTableWriter.h"
#include "data/engines/Table.h"
#include "data/platform/AtomicFile.h"
#include "data/platform/SignalCleanup.h"
#include "export/JpegWriter.h"
#include "export/KXExport2HTML.h"
#include "export/KXExport2Text.h"
#include "export/SpillStream.h"
#include "export/view/BmpImage.h"
#include "export/view/WindowlessTableView.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <grp.h>
#include <poll.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// One export of a dataset's default view into a text document.
struct TTextExport {
    TDataSource Source;
    TWindowlessTableView View;
    TKXExport2Text Writer;
    int Rows = 0;
    std::string NameDuring = "(not run)";
    explicit TTextExport(TDataSet& ds) : Source(&ds) {
        View.Bind(&Source);
        Writer.SetGrid(&View);
        Writer.BuildMappings();
        Writer.AfterWriteRow = [this](TKXExport& sender) {
            ++Rows;
            NameDuring = sender.FileName();
        };
    }
    std::string Document() {
        TMemoryStream s;
        Writer.ExportToStream(s);
        return s.Data();
    }
    std::string ToFile(const std::string& path) {
        return RaisedMessage([&] { Writer.ExportToFile(path); });
    }
};

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// Reads what arrives on fd until its writer closes it, or gives up after
// `seconds` without a byte.
std::string ReadUntilClosed(int fd, int seconds) {
    std::string got;
    char buffer[65536];
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, seconds * 1000) <= 0) return got + "(timed out)";
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        if (n <= 0) return got;
        got.append(buffer, static_cast<size_t>(n));
    }
}

struct TChildResult {
    int Status = -1;     // as waitpid gives it
    std::string Message; // what the child wrote down
};

// Runs `body` in a child process, as the unprivileged user "nobody" when
// the tests run as root (who may write everything); `body` returns "" when
// all went as expected, or what went wrong.
TChildResult InChild(const std::function<std::string()>& body, bool asNobody) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return {};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(pipeFds[0]);
        std::string message;
        if (asNobody && ::geteuid() == 0 &&
            (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0))
            message = "cannot become nobody";
        if (message.empty()) {
            try {
                message = body();
            } catch (const std::exception& e) {
                message = std::string("raised: ") + e.what();
            }
        }
        if (!message.empty() && ::write(pipeFds[1], message.data(), message.size()) < 0) ::_exit(3);
        ::_exit(message.empty() ? 0 : 1);
    }
    ::close(pipeFds[1]);
    TChildResult r;
    r.Message = ReadUntilClosed(pipeFds[0], 60);
    ::close(pipeFds[0]);
    ::waitpid(pid, &r.Status, 0);
    return r;
}

std::vector<std::string> Listing(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

bool HasTemporary(const fs::path& dir) {
    for (const auto& e : fs::recursive_directory_iterator(dir))
        if (e.path().filename().string().rfind(".tbl", 0) == 0) return true;
    return false;
}

struct TDestination : ::testing::Test {
    TTempFolder Dir;
    TMemTable Table;
    std::unique_ptr<TTextExport> Export;
    void Build(int rows) {
        MakeNumberedTable(Table, rows);
        Export = std::make_unique<TTextExport>(Table);
    }
    std::string P(const std::string& name) const { return Dir / name; }
};

} // namespace

namespace {

// A table of numbered pictures of one colour, exported to HTML with them.
struct TPictureExport {
    TMemTable Table;
    TDataSource Source{&Table};
    TWindowlessTableView View;
    TKXExport2HTML Writer;
    TPictureExport(int count, pictures::TRgb colour, bool flag = false) {
        Table.FieldDefs().Add("Id", ftInteger);
        Table.FieldDefs().Add("Pic", ftGraphic);
        if (flag) Table.FieldDefs().Add("Ok", ftBoolean);
        Table.Open();
        for (int i = 1; i <= count; ++i) {
            std::vector<TValue> row{TValue::OfInt(i),
                                    TValue::OfBytes(pictures::SolidBmp(2 + i % 5, 3, colour))};
            if (flag) row.push_back(TValue::OfBool(i % 2 == 1));
            Table.AppendRecord(row);
        }
        View.Bind(&Source);
        Writer.SetGrid(&View);
        Writer.BuildMappings();
        Writer.SetIncludeImages(true);
    }
};

std::string Picture(const fs::path& folder, int number) {
    std::string name = std::to_string(number);
    name.insert(0, 6 - name.size(), '0');
    return FileBytes((folder / ("tbnexp" + name + ".jpg")).string());
}

} // namespace

// --- The open table ---------------------------------------------------------

TEST(ExportDestination, TheOpenTableAndItsSideFilesAreRefusedUnderAnyName) {
    TTempFolder dir;
    {
        TDbfWriter w(dir / "t.dbf", dvDBase3, {{"ID", 'N', 6, 0}, {"NOTE", 'M', 10, 0}}, 1252);
        w.SetWriteCpgFile(true);
        for (int i = 1; i <= 3; ++i)
            w.AddRecord({TValue::OfInt(i), TValue::OfText("memo " + std::to_string(i))});
        w.Finish();
    }
    fs::create_symlink("t.dbf", dir.Path() / "link.dbf");
    fs::create_symlink("t.dbt", dir.Path() / "link.dbt");
    fs::create_hard_link(dir.Path() / "t.dbf", dir.Path() / "hard.dbf");
    fs::create_directory(dir.Path() / "sub");
    TTable table;
    table.SetDatabaseName(dir.Path().string());
    table.SetTableName("t.dbf");
    table.Open();
    TTextExport e(table);
    const std::string dbf = FileBytes(dir / "t.dbf"), dbt = FileBytes(dir / "t.dbt"),
                      cpg = FileBytes(dir / "t.cpg");
    const std::vector<std::string> before = dir.Files();
    ASSERT_EQ(before, (std::vector<std::string>{"hard.dbf", "link.dbf", "link.dbt", "sub", "t.cpg",
                                                "t.dbf", "t.dbt"}));
    const std::string names[] = {dir / "t.dbf", dir / "./t.dbf", dir / "sub/../t.dbf",
                                 fs::relative(dir / "t.dbf").string(), dir / "link.dbf",
                                 dir / "hard.dbf", dir / "t.dbt", dir / "link.dbt", dir / "t.cpg",
                                 // Side files that are not there yet would be read once they are.
                                 dir / "t.mdx", dir / "T.NDX", dir / "sub/../t.inf"};
    for (const std::string& name : names) {
        const std::string message = e.ToFile(name);
        EXPECT_TRUE(
            Contains(message, "Cannot export to \"" + name + "\": it is a file of the open table"))
            << name << ": " << message;
        EXPECT_EQ(e.Rows, 0) << name;
    }
    EXPECT_EQ(FileBytes(dir / "t.dbf"), dbf);
    EXPECT_EQ(FileBytes(dir / "t.dbt"), dbt);
    EXPECT_EQ(FileBytes(dir / "t.cpg"), cpg);
    EXPECT_EQ(dir.Files(), before);
    EXPECT_TRUE(fs::is_symlink(dir / "link.dbf"));
    // Any other name is a destination like any other.
    EXPECT_EQ(e.ToFile(dir / "t.txt"), "");
    EXPECT_EQ(e.Rows, 3);
    EXPECT_EQ(FileBytes(dir / "t.txt"), e.Document());
}

TEST(ExportDestination, EachDriverNamesTheFilesOfItsTable) {
    TTempFolder dir;
    {
        TParadoxWriter w(dir / "p.db", {{"ID", 'I'}, {"Name", 'A', 12}, {"Note", 'M', 4}}, 1, 1252);
        w.AddRecord({TValue::OfInt(1), TValue::OfText("Ann"), TValue::OfText("a long note")});
        w.AddSecondaryIndex({"Name"});
        w.Finish();
    }
    TTextSchema schema;
    schema.TableName = "s";
    schema.Separator = ';';
    schema.Fields = {{"Name", ftString, 10, 0, 0}};
    TDelimitedTableWriter::WriteWithSchema(dir / "s.txt", schema, {{TValue::OfText("Bob")}});
    const std::vector<std::string> files = dir.Files();

    TTable paradox;
    paradox.SetDatabaseName(dir.Path().string());
    paradox.SetTableName("p.db");
    paradox.Open();
    TTable text;
    text.SetDatabaseName(dir.Path().string());
    text.SetTableName("s.txt");
    text.Open();
    EXPECT_EQ(files, (std::vector<std::string>{"p.X02", "p.Y02", "p.db", "p.mb", "p.px", "s.sch",
                                               "s.txt"}));
    for (const std::string& name : files) {
        const bool ofParadox = name[0] == 'p';
        EXPECT_EQ(paradox.TableFileNamedBy(dir / name).empty(), !ofParadox) << name;
        EXPECT_EQ(text.TableFileNamedBy(dir / name).empty(), ofParadox) << name;
    }
    EXPECT_NE(paradox.TableFileNamedBy(dir / "P.VAL"), "") << "validity checks, not there yet";
    EXPECT_NE(paradox.TableFileNamedBy(dir / "p.XG0"), "");
    EXPECT_EQ(paradox.TableFileNamedBy(dir / "p.txt"), "");
    EXPECT_EQ(paradox.TableFileNamedBy(dir / "q.px"), "");
    EXPECT_NE(text.TableFileNamedBy(dir / "S.SCH"), "");
    EXPECT_EQ(text.TableFileNamedBy(dir / "s.csv"), "");
    paradox.Close();
    EXPECT_EQ(paradox.TableFileNamedBy(dir / "p.db"), "") << "a closed table has no files";
}

// --- Destinations that are not plain files ------------------------------------

TEST_F(TDestination, LinksAreWrittenThrough) {
    Build(4);
    fs::create_directory(Dir.Path() / "real");
    PutFileBytes(P("real/old.txt"), "old");
    ::chmod(P("real/old.txt").c_str(), 0640);
    fs::create_symlink("real/old.txt", Dir.Path() / "old.txt");
    fs::create_symlink("real/new.txt", Dir.Path() / "new.txt"); // names a file not there yet
    EXPECT_EQ(Export->ToFile(P("old.txt")), "");
    EXPECT_EQ(Export->ToFile(P("new.txt")), "");
    const std::string doc = Export->Document();
    EXPECT_TRUE(fs::is_symlink(P("old.txt")));
    EXPECT_TRUE(fs::is_symlink(P("new.txt")));
    EXPECT_EQ(FileBytes(P("real/old.txt")), doc);
    EXPECT_EQ(FileBytes(P("real/new.txt")), doc);
    EXPECT_EQ(fs::status(P("real/old.txt")).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(Listing(Dir.Path() / "real"), (std::vector<std::string>{"new.txt", "old.txt"}));
    EXPECT_EQ(Dir.Files(), (std::vector<std::string>{"new.txt", "old.txt", "real"}));
}

TEST_F(TDestination, PipesAndSocketsAreWrittenInPlace) {
    Build(3000);
    const std::string doc = Export->Document();

    // A named pipe with a reader: the reader gets the document.
    ASSERT_EQ(::mkfifo(P("pipe").c_str(), 0600), 0);
    const int reader = ::open(P("pipe").c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    std::string got;
    std::thread drain([&] { got = ReadUntilClosed(reader, 10); });
    EXPECT_EQ(Export->ToFile(P("pipe")), "");
    drain.join();
    ::close(reader);
    EXPECT_TRUE(got == doc) << got.size() << " bytes of " << doc.size();
    EXPECT_TRUE(fs::is_fifo(P("pipe")));
    EXPECT_EQ(Export->NameDuring, "") << "nothing belongs beside a pipe";

    // A socket with a listener: the same.
    const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strcpy(addr.sun_path, P("socket").c_str());
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_EQ(::listen(listener, 1), 0);
    std::string received;
    std::thread accept([&] {
        pollfd p{listener, POLLIN, 0};
        if (::poll(&p, 1, 10000) <= 0) return;
        const int c = ::accept(listener, nullptr, nullptr);
        received = ReadUntilClosed(c, 10);
        ::close(c);
    });
    EXPECT_EQ(Export->ToFile(P("socket")), "");
    accept.join();
    ::close(listener);
    EXPECT_TRUE(received == doc) << received.size() << " bytes of " << doc.size();
    EXPECT_TRUE(fs::is_socket(P("socket")));

    // An HTML document with pictures to a pipe: no pictures folder beside it.
    TMemTable flags;
    flags.FieldDefs().Add("Ok", ftBoolean);
    flags.Open();
    flags.AppendRecord({TValue::OfBool(true)});
    TDataSource source(&flags);
    TWindowlessTableView view(&source);
    TKXExport2HTML html;
    html.SetGrid(&view);
    html.BuildMappings();
    html.SetIncludeImages(true);
    const int again = ::open(P("pipe").c_str(), O_RDONLY | O_NONBLOCK);
    std::thread drain2([&] { got = ReadUntilClosed(again, 10); });
    html.ExportToFile(P("pipe"));
    drain2.join();
    ::close(again);
    EXPECT_TRUE(Contains(got, "True</FONT>")) << got;
    EXPECT_FALSE(Contains(got, "<img"));
    EXPECT_EQ(Dir.Files(), (std::vector<std::string>{"pipe", "socket"}));
}

TEST_F(TDestination, DevicesAreWrittenInPlace) {
    Build(3000);
    // Device files of our own, so that no test ever puts /dev at stake.
    if (::mknod(P("null").c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0 ||
        ::mknod(P("full").c_str(), S_IFCHR | 0666, makedev(1, 7)) != 0)
        GTEST_SKIP() << "device files cannot be made here: " << std::strerror(errno);
    EXPECT_EQ(Export->ToFile(P("null")), "");
    EXPECT_EQ(Export->Rows, 3000);
    EXPECT_TRUE(fs::is_character_file(P("null")));
    // A full device: the error says so; there is no temporary to remove.
    const std::string full = Export->ToFile(P("full"));
    EXPECT_EQ(full, "Cannot write file \"" + P("full") + "\": " + std::strerror(ENOSPC));
    EXPECT_TRUE(fs::is_character_file(P("full")));
    EXPECT_EQ(Dir.Files(), (std::vector<std::string>{"full", "null"}));
}

TEST_F(TDestination, AFolderIsRefusedBeforeTheWalk) {
    Build(5);
    fs::create_directory(Dir.Path() / "out");
    for (const std::string& name : {P("out"), P("out/"), P("out/.")}) {
        EXPECT_EQ(Export->ToFile(name), "Cannot create file \"" + name + "\": it is a folder");
        EXPECT_EQ(Export->Rows, 0) << "the walk never started";
    }
    EXPECT_EQ(Dir.Files(), std::vector<std::string>{"out"});
    EXPECT_TRUE(fs::is_empty(Dir.Path() / "out"));
    // A table writer is refused the same way.
    EXPECT_TRUE(Contains(RaisedMessage([&] {
                             TDbfWriter::Write(P("out"), dvDBase3, {{"ID", 'N', 4, 0}}, {});
                         }),
                         "it is a folder"));
    // And it never replaces a pipe.
    ASSERT_EQ(::mkfifo(P("pipe").c_str(), 0600), 0);
    EXPECT_TRUE(
        Contains(RaisedMessage([&] { TAtomicFile f(P("pipe")); }), "it is not a regular file"));
    EXPECT_TRUE(fs::is_fifo(P("pipe")));
}

TEST_F(TDestination, NamesUpToTheSystemsLimit) {
    Build(6);
    const std::string name255 = std::string(251, 'a') + ".txt",
                      name250 = std::string(246, 'b') + ".txt";
    EXPECT_EQ(Export->ToFile(P(name255)), "");
    EXPECT_EQ(Export->ToFile(P(name250)), "");
    EXPECT_EQ(FileBytes(P(name255)), Export->Document());
    EXPECT_EQ(Dir.Files(), (std::vector<std::string>{name255, name250}));
    // A table too.
    const std::string table = std::string(251, 'c') + ".dbf";
    TDbfWriter::Write(P(table), dvDBase3, {{"ID", 'N', 4, 0}}, {{TValue::OfInt(7)}});
    EXPECT_TRUE(fs::exists(P(table)));

    // A failed export keeps its partial document under a name that fits.
    PutFileBytes(P(name255), "old");
    Export->Writer.AfterWriteRow = [](TKXExport& sender) {
        if (sender.WrittenCount() == 2) throw std::runtime_error("cancelled");
    };
    EXPECT_EQ(Export->ToFile(P(name255)), "cancelled");
    const std::string partial = std::string(247, 'a') + ".partial";
    EXPECT_EQ(TAtomicFile::PartialName(P(name255)), P(partial));
    EXPECT_EQ(FileBytes(P(name255)), "old");
    EXPECT_EQ(FileBytes(P(partial)), "ID\tName\r\n1\tN1\r\n2\tN2");
    EXPECT_FALSE(HasTemporary(Dir.Path()));
    // Cut at a character's boundary: "é" takes two bytes.
    std::string accents;
    for (int i = 0; i < 125; ++i)
        accents += "\xC3\xA9";
    const std::string cut = TAtomicFile::PartialName(P(accents + ".txt"));
    EXPECT_EQ(cut, P(accents.substr(0, 246) + ".partial"));
    EXPECT_EQ(TAtomicFile::PartialName(P("short.txt")), P("short.txt.partial"));
}

TEST_F(TDestination, AFullDiskIsNotLeftFull) {
    Build(2000);
    PutFileBytes(P("out.txt"), "old");
    TFileStream::InjectFailureAfter(1000);
    const std::string message = Export->ToFile(P("out.txt"));
    TFileStream::InjectFailureAfter(-1);
    EXPECT_EQ(message, "Cannot write file \"" + P("out.txt") + "\": " + std::strerror(ENOSPC) +
                           "; the unfinished document was removed to free the space");
    EXPECT_EQ(FileBytes(P("out.txt")), "old");
    EXPECT_EQ(Dir.Files(), std::vector<std::string>{"out.txt"});
    // Other failures keep what was written.
    TFileStream::InjectFailureAfter(1000, EIO);
    EXPECT_EQ(Export->ToFile(P("out.txt")),
              "Cannot write file \"" + P("out.txt") + "\": " + std::strerror(EIO));
    TFileStream::InjectFailureAfter(-1);
    EXPECT_EQ(Dir.Files(), (std::vector<std::string>{"out.txt", "out.txt.partial"}));
}

// On a real small disk, where the system itself reports it full.
TEST_F(TDestination, AFullSmallDiskGetsItsSpaceBack) {
    Build(40000); // about 400 KB of text
    const fs::path small = Dir.Path() / "small";
    fs::create_directory(small);
    const TChildResult r = InChild(
        [&]() -> std::string {
            if (::unshare(CLONE_NEWNS) != 0 ||
                ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
                ::mount("tmpfs", small.c_str(), "tmpfs", 0, "size=256k") != 0)
                return "skip";
            PutFileBytes((small / "out.txt").string(), "old");
            const std::string message = Export->ToFile((small / "out.txt").string());
            if (!Contains(message, std::strerror(ENOSPC)) ||
                !Contains(message, "the unfinished document was removed"))
                return "message: " + message;
            if (Listing(small) != std::vector<std::string>{"out.txt"}) return "left files behind";
            struct statvfs vfs;
            if (::statvfs(small.c_str(), &vfs) != 0) return "statvfs";
            if (vfs.f_bfree + 2 < vfs.f_blocks) return "the space was not given back";
            return FileBytes((small / "out.txt").string()) == "old" ? "" : "the old file changed";
        },
        false);
    if (r.Message == "skip") GTEST_SKIP() << "no small file system can be mounted here";
    EXPECT_TRUE(WIFEXITED(r.Status) && WEXITSTATUS(r.Status) == 0) << r.Message;
}

// As the shell's ">" would: a read-only file is refused, a writable file in
// a folder this user cannot write to is written in place.
TEST_F(TDestination, PermissionsOfTheFileAndOfItsFolder) {
    Build(10);
    const std::string doc = Export->Document();
    fs::permissions(Dir.Path(), fs::perms(0755));
    fs::create_directory(Dir.Path() / "open");
    fs::permissions(Dir.Path() / "open", fs::perms(0777));
    PutFileBytes(P("open/ro.txt"), "read-only");
    fs::permissions(P("open/ro.txt"), fs::perms(0444));
    fs::create_directory(Dir.Path() / "locked");
    PutFileBytes(P("locked/w.txt"), "writable");
    fs::permissions(P("locked/w.txt"), fs::perms(0666));
    PutFileBytes(P("locked/p.htm"), "old");
    fs::permissions(P("locked/p.htm"), fs::perms(0666));
    fs::create_directory(Dir.Path() / "locked/p_files");
    fs::permissions(Dir.Path() / "locked/p_files", fs::perms(0777));
    TPictureExport pictures(2, {0, 200, 0});
    struct stat before;
    ASSERT_EQ(::stat(P("locked/w.txt").c_str(), &before), 0);
    if (::geteuid() != 0) fs::permissions(Dir.Path() / "locked", fs::perms(0555));

    const TChildResult r = InChild(
        [&]() -> std::string {
            const std::string refused = Export->ToFile(P("open/ro.txt"));
            if (refused != "Cannot create file \"" + P("open/ro.txt") + "\": the file is read-only")
                return "read-only file: " + refused;
            if (FileBytes(P("open/ro.txt")) != "read-only") return "the read-only file changed";
            if (Listing(Dir.Path() / "open") != std::vector<std::string>{"ro.txt"})
                return "files left beside the read-only file";
            const std::string inPlace = Export->ToFile(P("locked/w.txt"));
            if (!inPlace.empty()) return "locked folder: " + inPlace;
            // No new pictures folder can be made there: the pictures go
            // into the one that is.
            pictures.Writer.ExportToFile(P("locked/p.htm"));
            if (!Contains(FileBytes(P("locked/p.htm")), "<img src=\"p_files/tbnexp000002.jpg\""))
                return "no pictures in the document";
            if (Listing(Dir.Path() / "locked/p_files").size() != 2) return "no pictures in p_files";
            // What waits on the disk beside such a document (the RTF body)
            // waits where temporaries go.
            TSpillStream spill((Dir.Path() / "locked").string(), 16);
            spill.Write(std::string(100, 's'));
            TMemoryStream copy;
            spill.CopyTo(copy);
            if (!spill.Spilled() || copy.Data() != std::string(100, 's')) return "spill";
            return "";
        },
        true);
    EXPECT_TRUE(WIFEXITED(r.Status) && WEXITSTATUS(r.Status) == 0) << r.Message;
    fs::permissions(Dir.Path() / "locked", fs::perms(0755));
    EXPECT_EQ(FileBytes(P("locked/w.txt")), doc);
    struct stat after;
    ASSERT_EQ(::stat(P("locked/w.txt").c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino) << "written in place, not replaced";
    EXPECT_EQ(Listing(Dir.Path() / "locked"),
              (std::vector<std::string>{"p.htm", "p_files", "w.txt"}));
}

// --- Interruptions ----------------------------------------------------------

TEST(SignalCleanup, ASignalRemovesTheTemporariesAndEndsTheProgramAsItWould) {
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
        TTempFolder dir;
        PutFileBytes(dir / ".tblfile", "temporary");
        PutFileBytes(dir / ".tblkept", "partial document");
        PutFileBytes(dir / ".tblother", "put in place already");
        fs::create_directory(dir.Path() / ".tblfolder");
        PutFileBytes(dir / ".tblfolder/a.jpg", "a");
        PutFileBytes(dir / ".tblfolder/b.jpg", "b");
        const pid_t pid = ::fork();
        if (pid == 0) {
            TSignalCleanup::Install();
            TSignalCleanup::Register(dir / ".tblfile", "", false);
            TSignalCleanup::Register(dir / ".tblkept", dir / "doc.txt.partial", false);
            TSignalCleanup::Register(dir / ".tblfolder", "", true);
            TSignalCleanup::Unregister(TSignalCleanup::Register(dir / ".tblother", "", false));
            ::raise(sig);
            ::_exit(0);
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << sig << ": " << status;
        EXPECT_EQ(dir.Files(), (std::vector<std::string>{".tblother", "doc.txt.partial"})) << sig;
        EXPECT_EQ(FileBytes(dir / "doc.txt.partial"), "partial document");
    }
}

TEST(SignalCleanup, ADeferredSignalWaitsForTheStepsToEnd) {
    TTempFolder dir;
    PutFileBytes(dir / ".tblfile", "temporary");
    const pid_t pid = ::fork();
    if (pid == 0) {
        TSignalCleanup::Install();
        TSignalCleanup::Register(dir / ".tblfile", "", false);
        {
            TSignalCleanup::TDefer outer;
            {
                TSignalCleanup::TDefer inner;
                ::raise(SIGTERM);
            }
            PutFileBytes(dir / "done", "both steps ran");
        }
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
    EXPECT_EQ(dir.Files(), std::vector<std::string>{"done"});

    // A signal the program was told to ignore (nohup) stays ignored.
    PutFileBytes(dir / ".tblfile", "temporary");
    const pid_t ignoring = ::fork();
    if (ignoring == 0) {
        ::signal(SIGHUP, SIG_IGN);
        TSignalCleanup::Install();
        TSignalCleanup::Register(dir / ".tblfile", "", false);
        ::raise(SIGHUP);
        ::_exit(7);
    }
    ::waitpid(ignoring, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 7) << status;
    EXPECT_TRUE(fs::exists(dir / ".tblfile"));
}

// --- The pictures folder of an HTML document ----------------------------------

TEST(PictureFolder, LinksPlantedInASharedFolderLeadNowhere) {
    TTempFolder dir;
    const fs::path pics = dir.Path() / "doc_files";
    fs::create_directory(pics);
    fs::permissions(pics, fs::perms(0777)); // anyone may put files here
    PutFileBytes(dir / "victim1", "precious one");
    PutFileBytes(dir / "victim2", "precious two");
    fs::create_symlink(dir / "victim1", pics / "tbnexp000001.jpg");
    fs::create_symlink(dir / "victim2", pics / "tbnexp000001.jpg.part");
    fs::create_symlink(dir / "victim2", pics / "tbnexp000002.jpg.part");
    TPictureExport e(2, {200, 0, 0});
    e.Writer.ExportToFile(dir / "doc.htm");
    EXPECT_EQ(FileBytes(dir / "victim1"), "precious one");
    EXPECT_EQ(FileBytes(dir / "victim2"), "precious two");
    EXPECT_FALSE(fs::is_symlink(pics / "tbnexp000001.jpg"));
    EXPECT_EQ(pictures::ReadJpegFrame(Picture(pics, 1)).Marker, 0xC0);
    EXPECT_EQ(pictures::ReadJpegFrame(Picture(pics, 2)).Marker, 0xC0);
    EXPECT_TRUE(Contains(FileBytes(dir / "doc.htm"), "<img src=\"doc_files/tbnexp000002.jpg\""));
    EXPECT_FALSE(HasTemporary(dir.Path()));

    // A picture written alone does not follow a link of its name either.
    TRgbImage image;
    LoadBmpImage(pictures::SolidBmp(2, 2, {1, 2, 3}), image);
    fs::create_symlink(dir / "victim1", pics / "alone.jpg");
    SaveJpegFile(image, (pics / "alone.jpg").string());
    EXPECT_EQ(FileBytes(dir / "victim1"), "precious one");
    EXPECT_FALSE(fs::is_symlink(pics / "alone.jpg"));
}

TEST(PictureFolder, AFailedExportKeepsTheDocumentWithItsOwnPictures) {
    TTempFolder dir;
    TPictureExport first(3, {200, 0, 0});
    first.Writer.ExportToFile(dir / "doc.htm");
    const std::string doc = FileBytes(dir / "doc.htm");
    const fs::path pics = dir.Path() / "doc_files";
    const std::string one = Picture(pics, 1), three = Picture(pics, 3);

    TPictureExport second(5, {0, 0, 200});
    second.Writer.AfterWriteRow = [](TKXExport& sender) {
        if (sender.WrittenCount() == 4) throw std::runtime_error("cancelled");
    };
    EXPECT_EQ(RaisedMessage([&] { second.Writer.ExportToFile(dir / "doc.htm"); }), "cancelled");
    EXPECT_EQ(FileBytes(dir / "doc.htm"), doc);
    EXPECT_EQ(Picture(pics, 1), one);
    EXPECT_EQ(Picture(pics, 3), three);
    EXPECT_EQ(Listing(pics), (std::vector<std::string>{"tbnexp000001.jpg", "tbnexp000002.jpg",
                                                       "tbnexp000003.jpg"}));
    EXPECT_EQ(dir.Files(), (std::vector<std::string>{"doc.htm", "doc.htm.partial", "doc_files"}));

    // The document's own rename fails, last of all (a folder took its name
    // meanwhile): the pictures folder, already in place, goes back.
    second.Writer.AfterWriteRow = [&](TKXExport& sender) {
        if (sender.WrittenCount() != 5) return;
        fs::rename(dir / "doc.htm", dir / "kept.htm");
        fs::create_directory(dir / "doc.htm");
    };
    EXPECT_TRUE(Contains(RaisedMessage([&] { second.Writer.ExportToFile(dir / "doc.htm"); }),
                         "Cannot replace file"));
    fs::remove(dir / "doc.htm");
    fs::rename(dir / "kept.htm", dir / "doc.htm");
    EXPECT_EQ(Picture(pics, 1), one);
    EXPECT_EQ(Listing(pics).size(), 3u);
    EXPECT_FALSE(HasTemporary(dir.Path()));

    // The same export without the failure brings its pictures with it.
    second.Writer.AfterWriteRow = nullptr;
    second.Writer.ExportToFile(dir / "doc.htm");
    EXPECT_NE(Picture(pics, 1), one);
    EXPECT_EQ(Listing(pics).size(), 5u);
    EXPECT_FALSE(HasTemporary(dir.Path()));
}

// What the old folder holds and the new export did not write stays:
// pictures under higher numbers, glyphs of earlier exports, files and
// folders of the user.
TEST(PictureFolder, TheFolderKeepsWhatTheExportDidNotWrite) {
    TTempFolder dir;
    const fs::path pics = dir.Path() / "doc_files";
    TPictureExport first(4, {200, 0, 0});
    first.Writer.ExportToFile(dir / "doc.htm");
    const std::string four = Picture(pics, 4);
    PutFileBytes((pics / "tbnexpDBG_TRUE.jpg").string(), "a glyph of the user's own");
    PutFileBytes((pics / "notes.txt").string(), "notes");
    fs::create_directory(pics / "sub");
    PutFileBytes((pics / "sub" / "inner.txt").string(), "inner");
    fs::permissions(pics, fs::perms(0750));

    TPictureExport second(2, {0, 0, 200}, true);
    second.Writer.ExportToFile(dir / "doc.htm");
    const std::string doc = FileBytes(dir / "doc.htm");
    EXPECT_TRUE(Contains(doc, "doc_files/tbnexpDBG_TRUE.jpg\" width=\"13\""));
    EXPECT_TRUE(Contains(doc, "doc_files/tbnexpDBG_FALSE.jpg\" width=\"13\""));
    EXPECT_EQ(Listing(pics),
              (std::vector<std::string>{"notes.txt", "sub", "tbnexp000001.jpg", "tbnexp000002.jpg",
                                        "tbnexp000003.jpg", "tbnexp000004.jpg",
                                        "tbnexpDBG_FALSE.jpg", "tbnexpDBG_TRUE.jpg"}));
    EXPECT_EQ(FileBytes((pics / "tbnexpDBG_TRUE.jpg").string()), "a glyph of the user's own");
    EXPECT_EQ(FileBytes((pics / "notes.txt").string()), "notes");
    EXPECT_EQ(FileBytes((pics / "sub" / "inner.txt").string()), "inner");
    EXPECT_EQ(Picture(pics, 4), four);
    EXPECT_EQ(fs::status(pics).permissions(), fs::perms(0750));
    EXPECT_EQ(dir.Files(), (std::vector<std::string>{"doc.htm", "doc_files"}));

    // A pictures folder that is a link to one elsewhere is written where it leads.
    fs::create_directory(dir.Path() / "elsewhere");
    fs::create_symlink("elsewhere", dir.Path() / "other_files");
    second.Writer.ExportToFile(dir / "other.htm");
    EXPECT_TRUE(fs::is_symlink(dir.Path() / "other_files"));
    EXPECT_EQ(Listing(dir.Path() / "elsewhere").size(), 4u);
    EXPECT_FALSE(HasTemporary(dir.Path()));
}

TEST(PictureFolder, ExportsToOneDocumentAtOnceDoNotTripOverEachOther) {
    TTempFolder dir;
    const std::string path = dir / "doc.htm";
    std::atomic<int> failures{0};
    std::string firstFailure;
    auto run = [&](pictures::TRgb colour) {
        TPictureExport e(60, colour);
        for (int i = 0; i < 8; ++i) {
            const std::string m = RaisedMessage([&] { e.Writer.ExportToFile(path); });
            if (!m.empty() && failures.fetch_add(1) == 0) firstFailure = m;
        }
    };
    std::thread a(run, pictures::TRgb{200, 0, 0});
    std::thread b(run, pictures::TRgb{0, 200, 0});
    a.join();
    b.join();
    EXPECT_EQ(failures.load(), 0) << firstFailure;
    EXPECT_EQ(Listing(dir.Path() / "doc_files").size(), 60u);
    EXPECT_EQ(dir.Files(), (std::vector<std::string>{"doc.htm", "doc_files"}));
}
