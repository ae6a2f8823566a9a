#pragma once

#include <cstddef>
#include <string>
#include <vector>

// What a table driver noticed about the table it reads that the user should
// know, but that does not keep the table from being shown: a header that
// disagrees with the file, a missing memo file, a damaged memo value. The
// command line prints them on standard error; a window can list them.
//
// Each text is kept once, in the order found. A table with thousands of
// damaged values would flood any list, so only the first Limit are kept and
// More() tells that others came after them.
class TTableWarnings {
public:
    static constexpr size_t Limit = 100;

    void Add(std::string text);
    void Clear();
    const std::vector<std::string>& List() const { return fList; }
    bool More() const { return fMore; }

private:
    std::vector<std::string> fList;
    bool fMore = false;
};
