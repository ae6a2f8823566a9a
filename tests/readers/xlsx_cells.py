"""Prints the cells of every sheet of an XLSX workbook, read from the package
itself with zipfile and a strict XML parser (lxml, which refuses a part that
is not well-formed): a line "sheet NAME" per sheet in the workbook's order,
then one line per cell, "REF TYPE VALUE FORMAT" separated by tabs: TYPE is the
cell's t attribute ("n" when it has none), VALUE the <v> text of a number or
boolean and the hexadecimal UTF-8 of a text (inline or shared; "-" when
empty; "_xHHHH_" escapes decoded), FORMAT the hexadecimal number-format code of the cell's style ("-"
for General). Sheets are read as a stream, so a large one costs no memory."""
import re
import sys
import zipfile

from lxml import etree

NS = "{http://schemas.openxmlformats.org/spreadsheetml/2006/main}"
REL = "{http://schemas.openxmlformats.org/officeDocument/2006/relationships}"
BUILTIN = {0: "", 1: "0", 2: "0.00", 3: "#,##0", 4: "#,##0.00", 9: "0%", 10: "0.00%",
           14: "m/d/yyyy", 22: "m/d/yyyy h:mm"}


def hexed(text):
    return text.encode("utf-8").hex() if text else "-"


ESCAPE = re.compile(r"_x([0-9A-Fa-f]{4})_")


def text_of(element):
    # A rich string has runs; a plain one a single t. "_xHHHH_" spells a
    # character that XML cannot carry, as a spreadsheet reads it.
    text = "".join(t.text or "" for t in element.iter(NS + "t"))
    return ESCAPE.sub(lambda m: chr(int(m.group(1), 16)), text)


def parse(data):
    parser = etree.XMLParser(resolve_entities=False, no_network=True, huge_tree=True)
    return etree.fromstring(data, parser)


def main():
    book = zipfile.ZipFile(sys.argv[1])
    if book.testzip() is not None:
        print("damaged member:", book.testzip())
        return 1
    workbook = parse(book.read("xl/workbook.xml"))
    rels = parse(book.read("xl/_rels/workbook.xml.rels"))
    targets = {r.get("Id"): r.get("Target") for r in rels}
    styles = parse(book.read("xl/styles.xml"))
    codes = dict(BUILTIN)
    for f in styles.iter(NS + "numFmt"):
        codes[int(f.get("numFmtId"))] = f.get("formatCode")
    xfs = [int(xf.get("numFmtId", "0")) for xf in styles.find(NS + "cellXfs")]
    shared = []
    if "xl/sharedStrings.xml" in book.namelist():
        shared = [text_of(si) for si in parse(book.read("xl/sharedStrings.xml"))]
    out = sys.stdout
    for sheet in workbook.iter(NS + "sheet"):
        out.write("sheet %s\n" % sheet.get("name"))
        target = targets[sheet.get(REL + "id")].lstrip("/")
        if not target.startswith("xl/"):
            target = "xl/" + target
        with book.open(target) as part:
            for _, c in etree.iterparse(part, tag=NS + "c", huge_tree=True):
                kind = c.get("t", "n")
                if kind == "inlineStr":
                    value = hexed(text_of(c.find(NS + "is")))
                elif kind == "s":
                    value = hexed(shared[int(c.find(NS + "v").text)])
                else:
                    v = c.find(NS + "v")
                    value = v.text if v is not None else "-"
                code = codes.get(xfs[int(c.get("s", "0"))], "?")
                out.write("%s\t%s\t%s\t%s\n" % (c.get("r"), kind, value, hexed(code)))
                c.clear()
    return 0


if __name__ == "__main__":
    sys.exit(main())
