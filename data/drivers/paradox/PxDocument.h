#pragma once

#include <string>

struct px_doc;

// One pxlib document. pxlib's own allocations go through a small free list
// so that decoding a value (BCD, for one) does not reach the heap on every
// record, and its error messages are kept instead of printed.
//
// The Paradox driver never lets pxlib open a table file: pxlib scans and
// trusts what it reads, and a header that pxlib itself wrote with an older
// version made its reader hang. It gets field bytes of known length only,
// and writes new tables for the generator.
class TPxDocument {
public:
    TPxDocument();
    ~TPxDocument();
    TPxDocument(const TPxDocument&) = delete;
    TPxDocument& operator=(const TPxDocument&) = delete;

    px_doc* Get() const { return fDoc; }
    // The last error pxlib reported, and clears it.
    std::string TakeError();

    // Memory for strings and arrays that pxlib frees itself.
    char* StrDup(const std::string& s);
    void* Alloc(size_t size);
    void Free(void* p);

private:
    friend struct TPxCallbacks;
    px_doc* fDoc = nullptr;
    std::string fError;
};
