#include "data/drivers/TableDriverFactory.h"

#include "data/base/DatabaseError.h"
#include "data/base/TextUtils.h"
#include "data/drivers/dbf/DbfDriver.h"
#include "data/drivers/paradox/ParadoxDriver.h"
#include "data/drivers/text/TextDriver.h"

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

std::unique_ptr<TTableDriver> CreateTableDriver(TTableFormat format) {
    switch (format) {
    case TTableFormat::Dbase:
        return std::make_unique<TDbfDriver>();
    case TTableFormat::Paradox:
        return std::make_unique<TParadoxDriver>();
    case TTableFormat::Text:
        return std::make_unique<TTextDriver>();
    case TTableFormat::Unknown:
        break;
    }
    throw EDatabaseError("Unknown table type");
}
