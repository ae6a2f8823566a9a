#include "export/Clipboard.h"

#include <stdexcept>

// Opens nest, as the system clipboard's do: only the outermost Close closes.
void TMemoryClipboard::Open() {
    if (fOpenCount == 0) {
        fOpen = true;
        fPlacedSinceOpen = false;
    }
    ++fOpenCount;
}

void TMemoryClipboard::Close() {
    if (fOpenCount == 0) return;
    if (--fOpenCount == 0) fOpen = false;
}

void TMemoryClipboard::SetAsHandle(TClipboardFormat format, std::string_view bytes) {
    if (!fOpen) throw std::logic_error("The clipboard is not open");
    if (format != CF_TEXT && format != CF_UNICODETEXT)
        throw std::invalid_argument("Unsupported clipboard format " +
                                    std::to_string(static_cast<int>(format)));
    if (!fPlacedSinceOpen) {
        fText.clear();
        fUnicode.clear();
        fHasText = false;
        fHasUnicode = false;
        fPlacedSinceOpen = true;
    }
    if (format == CF_TEXT) {
        fText.assign(bytes.data(), bytes.size());
        fHasText = true;
    } else {
        fUnicode.assign(bytes.data(), bytes.size());
        fHasUnicode = true;
    }
}

bool TMemoryClipboard::HasFormat(TClipboardFormat format) const {
    if (format == CF_TEXT) return fHasText;
    if (format == CF_UNICODETEXT) return fHasUnicode;
    return false;
}

const std::string& TMemoryClipboard::Data(TClipboardFormat format) const {
    static const std::string empty;
    if (format == CF_TEXT && fHasText) return fText;
    if (format == CF_UNICODETEXT && fHasUnicode) return fUnicode;
    return empty;
}

static TClipboard* gClipboard = nullptr;

TClipboard& Clipboard() {
    if (gClipboard) return *gClipboard;
    static TMemoryClipboard process;
    return process;
}

void SetClipboard(TClipboard* clipboard) {
    gClipboard = clipboard;
}
