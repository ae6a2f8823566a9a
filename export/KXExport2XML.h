#pragma once

#include "export/KXExport.h"

#include <string>
#include <string_view>

// An XML document in one of two layouts: a data packet (XMLScheme 1), which
// first describes every column and then holds one empty ROW element per
// record with the values as attributes; or a record set (any other value),
// with one element per record and one child element per value. The value of
// each mapping entry is the column's XML name, made safe and unique from the
// field name.
class TKXExport2XML : public TKXExport {
public:
    TKXExport2XML();

    int XMLScheme() const { return fXMLScheme; }
    void SetXMLScheme(int v) { fXMLScheme = v; }
    // The encoding named in the XML declaration; empty names none, which
    // an XML reader takes as UTF-8, the program's own text.
    const std::string& XMLEncoding() const { return fXMLEncoding; }
    void SetXMLEncoding(std::string v) { fXMLEncoding = std::move(v); }

    void BuildMappings() override;

    // An XML name for S that every parser accepts (SafeXMLName) and that no
    // mapping entry carries yet.
    std::string MakeXMLName(std::string_view s) const { return MakeXMLName(s, -1); }
    // Whether some mapping entry's value is S (exact comparison).
    bool XMLNameUsed(std::string_view s) const { return XMLNameUsed(s, -1); }
    // What follows "fieldtype=" in the FIELD element of a field; a column
    // without a field is described as text.
    static std::string XMLFieldType(const TField* field);

protected:
    void WriteHeader() override;
    void WriteFooter() override;
    void WriteTitle() override;
    void WriteRecord() override;
    void WriteCell(TColumn& column) override;

private:
    // `skipEntry` is the entry whose value is being replaced; its present
    // value does not count as taken.
    std::string MakeXMLName(std::string_view s, int skipEntry) const;
    bool XMLNameUsed(std::string_view s, int skipEntry) const;
    void WriteDeclaration();

    int fXMLScheme = 1;
    std::string fXMLEncoding;
    std::string fLine;  // the record being built
    int fCellIndex = 0; // the mapping entry of the cell being written
};
