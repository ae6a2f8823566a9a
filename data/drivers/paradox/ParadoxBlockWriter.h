#pragma once

#include "data/drivers/paradox/ParadoxHeader.h"
#include "data/drivers/paradox/ParadoxIndexWriter.h"

#include <cstdint>
#include <string>
#include <vector>

class TAtomicFile;

// Writes a Paradox data file (.db, .Xnn): the header of the table it
// replaces (or a new one), with its record and block counts set, then the
// records packed into chained blocks. Everything else in the header (code
// page, sort order, version, names) stays as it was.
class TParadoxBlockWriter {
public:
    // `header` holds h.HeaderSize bytes; records are h.RecordSize bytes each,
    // in the order they are to have (key order for a keyed table). When
    // `index` is given, it receives one entry per block with the first
    // `keyLength` bytes of the block's first record.
    static void Write(TAtomicFile& out, std::string header, const TParadoxHeader& h,
                      const std::vector<const uint8_t*>& records, int32_t autoInc, size_t keyLength,
                      std::vector<TParadoxIndexEntry>* index);
};
