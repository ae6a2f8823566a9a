#pragma once

// pxlib as a second reader of the Paradox files this project writes (never
// of files from elsewhere, which pxlib trusts): every record, and the
// primary index pxlib builds for a table.

#include "data/drivers/paradox/PxLib.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

struct TPxlibRecord {
    std::vector<std::string> Texts; // every non-blob value as text, "" for null
};

// The table as pxlib itself reads it: a second reader for the files this
// project writes (never for files from elsewhere, which pxlib trusts).
inline std::vector<TPxlibRecord> ReadWithPxlib(const std::string& path) {
    std::vector<TPxlibRecord> out;
    pxdoc_t* px = PX_new();
    FILE* fp = std::fopen(path.c_str(), "rb");
    if (!fp || PX_open_fp(px, fp) < 0) {
        if (fp) std::fclose(fp);
        PX_delete(px);
        ADD_FAILURE() << "pxlib cannot open " << path;
        return out;
    }
    const pxhead_t* h = px->px_head;
    std::vector<char> rec(static_cast<size_t>(h->px_recordsize));
    for (int r = 0; r < h->px_numrecords; ++r) {
        if (!PX_get_record(px, r, rec.data())) {
            ADD_FAILURE() << "pxlib cannot read record " << r;
            break;
        }
        TPxlibRecord row;
        int offset = 0;
        for (int i = 0; i < h->px_numfields; ++i) {
            const pxfield_t& f = h->px_fields[i];
            char* p = rec.data() + offset;
            std::string text;
            char* s = nullptr;
            long l;
            double d;
            short sh;
            char c;
            switch (f.px_ftype) {
            case pxfAlpha:
                if (PX_get_data_alpha(px, p, f.px_flen, &s) > 0) text = s;
                break;
            case pxfShort:
                if (PX_get_data_short(px, p, 2, &sh) > 0) text = std::to_string(sh);
                break;
            case pxfLong:
            case pxfAutoInc:
            case pxfDate:
            case pxfTime:
                if (PX_get_data_long(px, p, 4, &l) > 0) text = std::to_string(l);
                break;
            case pxfNumber:
            case pxfCurrency:
            case pxfTimestamp:
                if (PX_get_data_double(px, p, 8, &d) > 0) text = std::to_string(d);
                break;
            case pxfLogical:
                if (PX_get_data_byte(px, p, 1, &c) > 0) text = c ? "T" : "F";
                break;
            case pxfBCD:
                if (PX_get_data_bcd(px, reinterpret_cast<unsigned char*>(p), f.px_fdc, &s) > 0)
                    text = s;
                break;
            default:
                break;
            }
            if (s) px->free(px, s);
            row.Texts.push_back(text);
            offset += f.px_flen;
        }
        out.push_back(row);
    }
    PX_close(px);
    PX_delete(px);
    std::fclose(fp);
    return out;
}

// The primary index (.px bytes) pxlib builds from the table's blocks, for
// a key of one long integer field named ID; "" when pxlib cannot.
inline std::string PxlibPrimaryIndexOfId(const std::string& table, const std::string& out) {
    pxdoc_t* px = PX_new();
    FILE* fp = std::fopen(table.c_str(), "rb");
    if (!fp || PX_open_fp(px, fp) < 0) {
        if (fp) std::fclose(fp);
        PX_delete(px);
        return std::string();
    }
    pxdoc_t* pi = PX_new();
    auto* kf = static_cast<pxfield_t*>(pi->malloc(pi, sizeof(pxfield_t), "key"));
    kf[0].px_fname = PX_strdup(pi, "ID");
    kf[0].px_ftype = pxfLong;
    kf[0].px_flen = 4;
    kf[0].px_fdc = 0;
    FILE* fpi = std::fopen(out.c_str(), "w+b");
    bool ok = fpi && PX_create_fp(pi, kf, 1, fpi, pxfFileTypPrimIndex) == 0 &&
              PX_write_primary_index(px, pi) == 0;
    PX_close(pi);
    PX_delete(pi);
    if (fpi) std::fclose(fpi);
    PX_close(px);
    PX_delete(px);
    std::fclose(fp);
    if (!ok) return std::string();
    std::ifstream in(out, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// Two index files alike (each, up to the blocks its header counts): the same record size, record
// count, block count, root and levels, and the same entries block for block.
inline void ExpectSameIndex(const std::string& ours, const std::string& theirs, size_t blockSize) {
    auto u16 = [](const std::string& s, size_t at) {
        return static_cast<unsigned>(static_cast<uint8_t>(s[at]) |
                                     (static_cast<uint8_t>(s[at + 1]) << 8));
    };
    ASSERT_GE(ours.size(), 0x800u);
    ASSERT_GE(theirs.size(), 0x800u);
    for (size_t at : {0x00u, 0x06u, 0x0Cu, 0x1Eu})
        EXPECT_EQ(u16(ours, at), u16(theirs, at)) << "header word at " << at;
    EXPECT_EQ(ours[0x20], theirs[0x20]);
    // Bytes behind the blocks the header counts are no part of the index.
    const size_t needed = 0x800 + u16(theirs, 0x0C) * blockSize;
    ASSERT_EQ(theirs.size(), needed);
    ASSERT_GE(ours.size(), needed);
    const size_t recordSize = u16(ours, 0);
    for (size_t b = 0x800; b < needed; b += blockSize) {
        const size_t used = u16(ours, b + 4) + recordSize + 6;
        EXPECT_EQ(u16(ours, b + 4), u16(theirs, b + 4)) << "block at " << b;
        EXPECT_EQ(ours.substr(b + 6, used - 6), theirs.substr(b + 6, used - 6)) << "block at " << b;
    }
}
