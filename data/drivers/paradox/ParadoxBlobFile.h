#pragma once

#include "data/platform/MappedFile.h"

#include <cstdint>
#include <string>
#include <string_view>

// The blob file (.mb) of a Paradox table, mapped, and what a blob field of
// a record says about its value.
//
// A blob field is a leader (the first bytes of the value) followed by ten
// bytes: the value's place in the .mb (a 4 KB-aligned block offset with an
// index in its low byte: 0xFF for a block of its own, else an entry of a
// block shared by small blobs), its length and a modification number. A
// place of 0 means the value lies whole in the leader.
class TParadoxBlobFile {
public:
    struct TRef {
        uint32_t Place = 0;
        uint32_t Length = 0;
        uint16_t ModNr = 0;
    };
    static TRef ReadRef(const uint8_t* field, int fieldLength);
    static void WriteRef(uint8_t* field, int fieldLength, const TRef& ref);

    // Maps the file and checks its header block; raises EDatabaseError
    // naming it.
    void Open(const std::string& path);
    void Close() { fMap.Close(); }
    bool IsOpen() const { return fMap.Data() != nullptr; }
    const std::string& Path() const { return fMap.Path(); }
    uint64_t Size() const { return fMap.Size(); }
    const TMappedFile& Map() const { return fMap; }

    // The value of a blob field (its bytes in the record), checked against
    // the .mb: its block type, size and entry lie within the file and agree
    // with the length the record gives. Raises EDatabaseError naming the
    // .mb otherwise. Returns false for a null value.
    bool Read(const uint8_t* field, int fieldLength, std::string& out) const;

private:
    [[noreturn]] void Fail(const std::string& what) const;
    TMappedFile fMap;
};
