#pragma once

#include "export/KXExport.h"

#include <string>
#include <string_view>

// Delimited text: one line per destination line, cells joined by one
// separator character, lines ended by CR LF. Cell texts are written exactly as
// gathered: no quoting, no escaping.
class TKXExport2Text : public TKXExport {
public:
    TKXExport2Text();

    // One character: its whole UTF-8 sequence.
    std::string_view Separator() const { return {fSeparator, fSeparatorSize}; }
    // Takes the first character of `v`; one that starts ill-formed becomes
    // U+FFFD, so that the document stays UTF-8, and an empty text a tab.
    void SetSeparator(std::string_view v);
    void SetSeparator(char v) { SetSeparator(std::string_view(&v, 1)); }

    void ExportToStream(TStream& stream) override;

protected:
    void WriteTitle() override;
    void WriteRecord() override;
    void WriteCell(TColumn& column) override;
    void WriteFooter() override;

    // The first call of a document writes nothing, later ones CR LF.
    virtual void WriteLineBreak();
    // The first call of a line writes nothing, later ones the separator.
    virtual void WriteSeparator();

    bool FirstLine() const { return fFirstLine; }
    void SetFirstLine(bool v) { fFirstLine = v; }
    bool FirstField() const { return fFirstField; }
    void SetFirstField(bool v) { fFirstField = v; }

private:
    bool fFirstLine = true;
    bool fFirstField = true;
    char fSeparator[4] = {'\t'};
    size_t fSeparatorSize = 1;
    std::string fLine; // the record being gathered
};
