#pragma once

#include "data/drivers/TableDriver.h"

#include <memory>
#include <string>
#include <string_view>

// The built-in table formats, as both engines choose them.
enum class TTableFormat : uint8_t { Unknown, Dbase, Paradox, Text };

// By the file's extension, in any letter case: .dbf dBase; .db Paradox;
// .txt, .csv, .asc and .tab delimited text.
TTableFormat TableFormatOfPath(std::string_view path);
// A new driver for the format; raises EDatabaseError for Unknown.
std::unique_ptr<TTableDriver> CreateTableDriver(TTableFormat format);
