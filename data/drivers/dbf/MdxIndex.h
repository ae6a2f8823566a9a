#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The production index of a dBase IV or later table (NAME.MDX): up to 47
// tags, each with a name and a key expression. Only the definitions are
// read; the key pages are left to the engines' own ordering.
class TMdxIndex {
public:
    struct TTag {
        std::string Name;
        std::string Expression;
        char KeyType = 'C';
        bool Descending = false;
        bool Unique = false;
    };

    // Raises EDatabaseError naming the file when its tag table or a tag
    // header lies outside the file or makes no sense.
    static std::vector<TTag> ReadTags(const std::string& path);
    static std::vector<TTag> ReadTags(const uint8_t* data, size_t size, const std::string& path);
    // Writes an index file holding the tag definitions and empty key pages,
    // for tests and samples; a program that uses the keys must reindex it.
    static void WriteDefinitions(const std::string& path, const std::string& tableName,
                                 const std::vector<TTag>& tags);
};
