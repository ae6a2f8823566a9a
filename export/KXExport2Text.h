#pragma once

#include "export/KXExport.h"

// Delimited text: one line per destination line, cells joined by one
// separator byte, lines ended by CR LF. Cell texts are written exactly as
// gathered: no quoting, no escaping.
class TKXExport2Text : public TKXExport {
public:
    TKXExport2Text();

    char Separator() const { return fSeparator; }
    void SetSeparator(char v) { fSeparator = v; }

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
    char fSeparator = '\t';
};
