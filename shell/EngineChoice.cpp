#include "shell/EngineChoice.h"

#include "data/base/TextUtils.h"
#include "data/drivers/text/TextSchemaFile.h"
#include "data/engines/ADOConnection.h"

#include <filesystem>

TTablePath SplitTablePath(const std::string& path) {
    std::filesystem::path p(path);
    TTablePath r;
    r.Ext = LowerCase(p.extension().string());
    r.Name = p.filename().string();
    r.Dir = p.parent_path().string();
    while (r.Dir.size() > 1 && r.Dir.back() == '/')
        r.Dir.pop_back();
    return r;
}

bool HasSchema(const TTablePath& p) {
    if (p.Ext != ".txt") return false;
    // The driver's own rule, so that a table the driver reads by its schema
    // goes through the engine that takes schemas.
    return !FindTextSchemaFile((std::filesystem::path(p.Dir) / p.Name).string()).empty();
}

bool ChooseADO(const TTablePath& p, bool bdeLoaded, bool alwaysTryADO) {
    bool bdeKind = p.Ext == ".dbf" || p.Ext == ".db" || (p.Ext == ".txt" && HasSchema(p));
    return !(bdeLoaded && !alwaysTryADO && bdeKind);
}

std::string ADOConnectionText(const std::string& ext, const std::string& dir) {
    std::string driver, id;
    if (ext == ".dbf") {
        driver = "Microsoft dBase Driver (*.dbf)";
        id = "277";
    } else if (ext == ".db") {
        driver = "Microsoft Paradox Driver (*.db )";
        id = "26";
    } else {
        driver = "Microsoft Text Driver (*.txt; *.csv)";
    }
    std::string s = "Driver={" + driver + "};";
    if (!id.empty()) s += "DriverID=" + id + ";";
    if (ext == ".txt" || ext == ".csv" || ext == ".asc" || ext == ".tab")
        s += "Extensions=asc,csv,tab,txt;";
    // A bare file name lies in the current directory.
    s += "DefaultDir=" + TADOConnection::Braced(dir.empty() ? std::string(".") : dir) + ";";
    return s;
}
