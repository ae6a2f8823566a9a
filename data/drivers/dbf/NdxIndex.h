#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// A single-key index of dBase III (NAME.NDX). Only its key expression and
// unique flag are read.
class TNdxIndex {
public:
    struct TKey {
        std::string Expression;
        bool Numeric = false;
        bool Unique = false;
    };
    // Raises EDatabaseError naming the file when its header makes no sense.
    static TKey ReadKey(const std::string& path);
    static TKey ReadKey(const uint8_t* data, size_t size, const std::string& path);
    // Writes an index with the key definition and an empty root page, for
    // tests and samples.
    static void WriteDefinition(const std::string& path, const TKey& key);
};
