#include "data/TableDriver.h"

#include "data/DatabaseError.h"

uint32_t TTableDriver::Post(int64_t, const std::vector<TValue>&) {
    throw EDatabaseError("Cannot modify a read-only " + FormatName() + " table");
}

void TTableDriver::Delete(uint32_t) {
    throw EDatabaseError("Cannot modify a read-only " + FormatName() + " table");
}
