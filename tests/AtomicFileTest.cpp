#include "tests/support/TableFileTestSupport.h"

#include "data/base/DatabaseError.h"
#include "data/drivers/text/TextDriver.h"
#include "data/platform/AtomicFile.h"

#include <filesystem>

namespace fs = std::filesystem;

// A table opened through a link is written where the link leads: the link
// stays a link, and the file it names gets the change.
TEST(AtomicFile, ALinkedFileIsReplacedAndTheLinkKept) {
    TTempFolder dir;
    fs::create_directory(dir.Path() / "real");
    const std::string target = dir / "real/t.csv", link = dir / "t.csv";
    PutFileBytes(target, "Name\nAnn\n");
    fs::create_symlink("real/t.csv", link);
    {
        TOpenDriver<TTextDriver> t(link);
        t.Driver.Post(-1, {TValue::OfText("Bob")});
        EXPECT_EQ(t.Text(1, 0), "Bob");
    }
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(FileBytes(target), "Name\nAnn\nBob\n");
    EXPECT_EQ(dir.Files(), (std::vector<std::string>{"real", "t.csv"}));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path() / "real"), fs::directory_iterator()),
              1);
    // A failed write leaves both as they were, and no temporary file.
    TAtomicFile::InjectFailureAfter(2);
    std::string err = RaisedMessage([&] {
        TAtomicFile f(link);
        f.Write("new content");
        f.Commit();
    });
    TAtomicFile::InjectFailureAfter(-1);
    EXPECT_NE(err.find("\"" + link + "\""), std::string::npos) << err;
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(FileBytes(target), "Name\nAnn\nBob\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path() / "real"), fs::directory_iterator()),
              1);
}
