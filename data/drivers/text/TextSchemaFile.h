#pragma once

#include <string>

// The schema beside a ".txt" table: the file of the table's name with the
// extension ".sch", both in any letter case (NAME.SCH beside NAME.TXT, as
// other programs write them). Empty when the table is no ".txt" file or has
// no schema. The text driver reads the schema this finds, and the engine
// choice counts it, so that the two always agree.
std::string FindTextSchemaFile(const std::string& tablePath);
