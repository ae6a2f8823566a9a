#include "data/drivers/paradox/PxDocument.h"

#include "data/base/DatabaseError.h"

#include "data/drivers/paradox/PxLib.h"
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

namespace {
// Every block carries its capacity in front of it. Small blocks are kept
// for the next request instead of being freed.
constexpr size_t Header = 16;
constexpr size_t SmallBlock = 128;
constexpr size_t KeptBlocks = 32;

struct TFreeList {
    std::vector<void*> Blocks;
    ~TFreeList() {
        for (void* b : Blocks)
            std::free(b);
    }
};

TFreeList& FreeList() {
    thread_local TFreeList list;
    return list;
}

void* RawAlloc(size_t size) {
    size_t capacity = size <= SmallBlock ? SmallBlock : size;
    TFreeList& list = FreeList();
    void* block;
    if (capacity == SmallBlock && !list.Blocks.empty()) {
        block = list.Blocks.back();
        list.Blocks.pop_back();
    } else {
        block = std::malloc(Header + capacity);
        if (!block) return nullptr;
        std::memcpy(block, &capacity, sizeof capacity);
    }
    return static_cast<char*>(block) + Header;
}

size_t CapacityOf(void* mem) {
    size_t capacity;
    std::memcpy(&capacity, static_cast<char*>(mem) - Header, sizeof capacity);
    return capacity;
}

void RawFree(void* mem) {
    if (!mem) return;
    void* block = static_cast<char*>(mem) - Header;
    TFreeList& list = FreeList();
    if (CapacityOf(mem) == SmallBlock && list.Blocks.size() < KeptBlocks)
        list.Blocks.push_back(block);
    else
        std::free(block);
}
} // namespace

struct TPxCallbacks {
    static void Error(pxdoc_t* p, int type, const char* msg, void* data) {
        (void)p;
        if (type == PX_Warning || !data) return;
        auto* doc = static_cast<TPxDocument*>(data);
        doc->fError = msg ? msg : "unknown pxlib error";
    }
    static void* Alloc(pxdoc_t*, size_t size, const char*) { return RawAlloc(size); }
    static void* Realloc(pxdoc_t*, void* mem, size_t size, const char*) {
        if (!mem) return RawAlloc(size);
        size_t capacity = CapacityOf(mem);
        if (size <= capacity) return mem;
        void* grown = RawAlloc(size);
        if (!grown) return nullptr;
        std::memcpy(grown, mem, capacity);
        RawFree(mem);
        return grown;
    }
    static void Free(pxdoc_t*, void* mem) { RawFree(mem); }
};

TPxDocument::TPxDocument() {
    fDoc = PX_new3(&TPxCallbacks::Error, &TPxCallbacks::Alloc, &TPxCallbacks::Realloc,
                   &TPxCallbacks::Free, this);
    if (!fDoc) throw std::bad_alloc();
}

TPxDocument::~TPxDocument() {
    if (fDoc) PX_delete(fDoc);
}

std::string TPxDocument::TakeError() {
    std::string e = std::move(fError);
    fError.clear();
    return e;
}

char* TPxDocument::StrDup(const std::string& s) {
    auto* p = static_cast<char*>(RawAlloc(s.size() + 1));
    if (!p) throw std::bad_alloc();
    std::memcpy(p, s.c_str(), s.size() + 1);
    return p;
}

void* TPxDocument::Alloc(size_t size) {
    void* p = RawAlloc(size);
    if (!p) throw std::bad_alloc();
    return p;
}

void TPxDocument::Free(void* p) {
    RawFree(p);
}
