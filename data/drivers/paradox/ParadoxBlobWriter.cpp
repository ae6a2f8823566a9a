#include "data/drivers/paradox/ParadoxBlobWriter.h"

#include "data/base/DatabaseError.h"
#include "data/platform/AtomicFile.h"

namespace {
constexpr uint32_t Chunk = 4096;
constexpr uint32_t SharedData = 0x150; // first data byte of a shared block

void Put16(std::string& s, size_t at, uint16_t v) {
    s[at] = static_cast<char>(v & 0xFF);
    s[at + 1] = static_cast<char>(v >> 8);
}
void Put32(std::string& s, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        s[at + static_cast<size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
}
} // namespace

TParadoxBlobWriter::TParadoxBlobWriter(std::string_view base) : fBase(base) {
    if (fBase.empty()) {
        // A header block: type 0, one 4 KB chunk, modification count 1, and
        // the block sizes and sharing thresholds Paradox writes there.
        fHeader.assign(Chunk, '\0');
        Put16(fHeader, 1, 1);
        Put16(fHeader, 3, 1);
        Put16(fHeader, 0x0B, 0x1000);
        Put16(fHeader, 0x0D, 0x1000);
        fHeader[0x10] = 0x10;
        Put16(fHeader, 0x11, 0x40);
        Put16(fHeader, 0x13, 0x800);
        fStart = Chunk;
    } else {
        if (fBase.size() >= 5 && fBase[0] == 0)
            fModNr = static_cast<uint16_t>(static_cast<uint8_t>(fBase[3]) |
                                           (static_cast<uint8_t>(fBase[4]) << 8));
        if (fModNr == 0) fModNr = 1;
        fStart = (fBase.size() + Chunk - 1) / Chunk * Chunk;
    }
}

void TParadoxBlobWriter::StartShared() {
    fShared = fNew.size();
    fNew.append(Chunk, '\0');
    fNew[fShared] = 3;
    Put16(fNew, fShared + 1, 1);
    fSharedNext = 63;
    fSharedFree = SharedData / 16;
}

TParadoxBlobFile::TRef TParadoxBlobWriter::Add(std::string_view data) {
    if (data.empty()) return {};
    if (fStart + fNew.size() + data.size() + 2 * Chunk > 0xFFFFFF00u)
        throw EDatabaseError("The blob file would grow past 4 GB");
    ++fAdded;
    const uint32_t length = static_cast<uint32_t>(data.size());
    if (length < SharedLimit) {
        const uint32_t chunks = (length + 15) / 16;
        if (fShared == std::string::npos || fSharedNext < 0 || fSharedFree + chunks > Chunk / 16)
            StartShared();
        const size_t entry = fShared + 12 + 5 * static_cast<size_t>(fSharedNext);
        fNew[entry] = static_cast<char>(fSharedFree);
        fNew[entry + 1] = static_cast<char>(chunks);
        Put16(fNew, entry + 2, fModNr);
        fNew[entry + 4] = static_cast<char>(length - (chunks - 1) * 16);
        fNew.replace(fShared + fSharedFree * 16, length, data.data(), length);
        uint32_t place =
            static_cast<uint32_t>(fStart + fShared) | static_cast<uint32_t>(fSharedNext);
        --fSharedNext;
        fSharedFree += chunks;
        return {place, length, fModNr};
    }
    const uint32_t chunks = (9 + length + Chunk - 1) / Chunk;
    if (chunks > 0xFFFF)
        throw EDatabaseError("A blob of " + std::to_string(length) + " bytes is too large");
    const size_t at = fNew.size();
    fNew.append(static_cast<size_t>(chunks) * Chunk, '\0');
    fNew[at] = 2;
    Put16(fNew, at + 1, static_cast<uint16_t>(chunks));
    Put32(fNew, at + 3, length);
    Put16(fNew, at + 7, fModNr);
    fNew.replace(at + 9, length, data.data(), length);
    return {static_cast<uint32_t>(fStart + at) | 0xFFu, length, fModNr};
}

void TParadoxBlobWriter::WriteTo(TAtomicFile& file) const {
    if (fBase.empty()) {
        file.Write(fHeader);
    } else {
        constexpr size_t Piece = 1 << 20;
        for (size_t at = 0; at < fBase.size(); at += Piece)
            file.Write(fBase.substr(at, Piece));
        file.Write(std::string(fStart - fBase.size(), '\0'));
    }
    file.Write(fNew);
}

std::string TParadoxBlobWriter::Content() const {
    std::string s = fBase.empty() ? fHeader : std::string(fBase);
    s.resize(fStart, '\0');
    s += fNew;
    return s;
}
