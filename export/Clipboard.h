#pragma once

#include <memory>
#include <string>
#include <string_view>

// The clipboard formats an export places.
enum TClipboardFormat : int { CF_TEXT = 1, CF_UNICODETEXT = 13 };

// The system clipboard as the export sees it. The Qt shell implements it
// over QClipboard; TMemoryClipboard keeps what was placed, for tests and
// for runs without a window system.
class TClipboard {
public:
    virtual ~TClipboard() = default;
    virtual void Open() = 0;
    virtual void Close() = 0;
    // Places bytes in a format; the first format placed after Open empties
    // the clipboard. Raises when the clipboard refuses.
    virtual void SetAsHandle(TClipboardFormat format, std::string_view bytes) = 0;
    // Whether the platform wants a UTF-16 copy beside the 8-bit text.
    virtual bool WantsUnicodeText() const = 0;
};

class TMemoryClipboard : public TClipboard {
public:
    explicit TMemoryClipboard(bool wantsUnicode = true) : fWantsUnicode(wantsUnicode) {}
    void Open() override;
    void Close() override;
    void SetAsHandle(TClipboardFormat format, std::string_view bytes) override;
    bool WantsUnicodeText() const override { return fWantsUnicode; }

    bool IsOpen() const { return fOpen; }
    bool HasFormat(TClipboardFormat format) const;
    // The bytes of a format as placed (the 8-bit text ends with its zero byte).
    const std::string& Data(TClipboardFormat format) const;
    int OpenCount() const { return fOpenCount; }

private:
    bool fWantsUnicode;
    bool fOpen = false;
    bool fPlacedSinceOpen = false;
    int fOpenCount = 0;
    std::string fText;
    std::string fUnicode;
    bool fHasText = false;
    bool fHasUnicode = false;
};

// The clipboard in use; the shell installs the system's. Not owned.
TClipboard& Clipboard();
void SetClipboard(TClipboard* clipboard);
