#pragma once

#include <string>

// The files of one dBase table share its base name: NAME.DBF beside
// NAME.DBT, NAME.FPT, NAME.MDX, NAME.CPG. Tables copied from DOS and Windows
// often carry upper-case names, so the extension is matched in any case.
//
// The file beside `tablePath` with the same base name and extension `ext`
// (".dbt"), in the usual letter cases (as the table, all lower, all upper);
// with `searchFolder`, in any letter case. Empty when there is none.
std::string FindSideFile(const std::string& tablePath, const std::string& ext,
                         bool searchFolder = false);
// The name that a new side file gets: the extension in the letter case of
// the table's own extension.
std::string SideFileName(const std::string& tablePath, const std::string& ext);
