#include "data/TableDriver.h"

#include "data/DatabaseError.h"

void TTableDriver::GetValueConcurrently(uint32_t, int, TValue&) const {
    throw EDatabaseError("The " + FormatName() + " driver cannot read on two threads");
}

uint32_t TTableDriver::Post(int64_t, const std::vector<TValue>&) {
    throw EDatabaseError("Cannot modify a read-only " + FormatName() + " table");
}

void TTableDriver::Delete(uint32_t) {
    throw EDatabaseError("Cannot modify a read-only " + FormatName() + " table");
}
