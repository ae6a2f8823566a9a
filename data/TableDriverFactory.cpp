#include "data/TableDriverFactory.h"

#include "data/DatabaseError.h"
#include "data/TextUtils.h"

#if __has_include("data/DbfDriver.h")
#include "data/DbfDriver.h"
#define TABULON_HAVE_DBF 1
#endif
#if __has_include("data/ParadoxDriver.h")
#include "data/ParadoxDriver.h"
#define TABULON_HAVE_PARADOX 1
#endif
#if __has_include("data/TextDriver.h")
#include "data/TextDriver.h"
#define TABULON_HAVE_TEXT 1
#endif

TTableFormat TableFormatOfPath(std::string_view path) {
    size_t slash = path.find_last_of('/');
    std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    size_t dot = name.find_last_of('.');
    if (dot == std::string_view::npos) return TTableFormat::Unknown;
    std::string ext = LowerCase(name.substr(dot));
    if (ext == ".dbf") return TTableFormat::Dbase;
    if (ext == ".db") return TTableFormat::Paradox;
    if (ext == ".txt" || ext == ".csv" || ext == ".asc" || ext == ".tab") return TTableFormat::Text;
    return TTableFormat::Unknown;
}

const char* TableFormatName(TTableFormat format) {
    switch (format) {
    case TTableFormat::Dbase:
        return "dBase";
    case TTableFormat::Paradox:
        return "Paradox";
    case TTableFormat::Text:
        return "Text";
    case TTableFormat::Unknown:
        break;
    }
    return "unknown";
}

std::unique_ptr<TTableDriver> CreateTableDriver(TTableFormat format) {
    switch (format) {
#ifdef TABULON_HAVE_DBF
    case TTableFormat::Dbase:
        return std::make_unique<TDbfDriver>();
#endif
#ifdef TABULON_HAVE_PARADOX
    case TTableFormat::Paradox:
        return std::make_unique<TParadoxDriver>();
#endif
#ifdef TABULON_HAVE_TEXT
    case TTableFormat::Text:
        return std::make_unique<TTextDriver>();
#endif
    default:
        break;
    }
    if (format == TTableFormat::Unknown) throw EDatabaseError("Unknown table type");
    throw EDatabaseError(std::string("The ") + TableFormatName(format) +
                         " driver is not available");
}
