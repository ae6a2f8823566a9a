#pragma once

#include "export/Clipboard.h"

#include <string>

// The desktop's clipboard for the export: the document as UTF-8 text, the
// bytes as the writer left them (no UTF-16 copy: the desktop's text is
// Unicode already). Placed on Close, so a failed export leaves the
// clipboard as it was.
class TDesktopClipboard : public TClipboard {
public:
    void Open() override;
    void Close() override;
    void SetAsHandle(TClipboardFormat format, std::string_view bytes) override;
    bool WantsUnicodeText() const override { return false; }

private:
    std::string fText;
    bool fPlaced = false;
};
