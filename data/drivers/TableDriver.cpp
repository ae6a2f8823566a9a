#include "data/drivers/TableDriver.h"

#include "data/base/DatabaseError.h"
#include "data/platform/FileIdentity.h"

void TTableDriver::GetValueConcurrently(uint32_t, int, TValue&) const {
    throw EDatabaseError("The " + FormatName() + " driver cannot read on two threads");
}

uint32_t TTableDriver::Post(int64_t, const std::vector<TValue>&) {
    throw EDatabaseError("Cannot modify a read-only " + FormatName() + " table");
}

void TTableDriver::Delete(uint32_t) {
    throw EDatabaseError("Cannot modify a read-only " + FormatName() + " table");
}

std::string TTableDriver::FileNamedBy(const std::string& path) const {
    const std::vector<std::string> files = Files();
    if (files.empty()) return std::string();
    const TFileIdentity dest = TFileIdentity::Of(path);
    for (const std::string& f : files)
        if (dest.SameFile(TFileIdentity::Of(f))) return f;
    // A side file that is not there yet would be read once it is.
    const TFileIdentity table = TFileIdentity::Of(files.front());
    if (!dest.Folder.empty() && dest.Folder == table.Folder && IsSideFileName(dest.Name))
        return dest.Folder + "/" + dest.Name;
    return std::string();
}
