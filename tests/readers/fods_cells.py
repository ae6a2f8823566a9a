"""Prints the cells of every sheet of a flat OpenDocument spreadsheet (.fods,
as LibreOffice saves one): a line "sheet NAME" per sheet, then one line per
cell that holds something, "REF TYPE VALUE TEXT" separated by tabs: TYPE is
the office:value-type, or "boolean" for the TRUE() and FALSE() that Calc makes
of a boolean; VALUE the stored value (office:value, date-value, time-value,
"-" for a text); TEXT the hexadecimal UTF-8 of the shown text, paragraphs
joined by LF ("-" when empty). Repeated cells and rows are counted."""
import sys

from lxml import etree

NS = {
    "office": "urn:oasis:names:tc:opendocument:xmlns:office:1.0",
    "table": "urn:oasis:names:tc:opendocument:xmlns:table:1.0",
    "text": "urn:oasis:names:tc:opendocument:xmlns:text:1.0",
}


def attr(element, ns, name):
    return element.get("{%s}%s" % (NS[ns], name))


def column_name(index):
    name = ""
    index += 1
    while index:
        index, rest = divmod(index - 1, 26)
        name = chr(65 + rest) + name
    return name


def paragraph_text(p):
    out = []
    for node in p.iter():
        if node.tag == "{%s}s" % NS["text"]:
            out.append(" " * int(attr(node, "text", "c") or 1))
        elif node.tag == "{%s}tab" % NS["text"]:
            out.append("\t")
        elif node.tag == "{%s}line-break" % NS["text"]:
            out.append("\n")
        elif node is not p and node.text:
            out.append(node.text)
        if node is p and node.text:
            out.append(node.text)
        if node is not p and node.tail:
            out.append(node.tail)
    return "".join(out)


def main():
    root = etree.parse(sys.argv[1], etree.XMLParser(huge_tree=True)).getroot()
    out = sys.stdout
    for sheet in root.iter("{%s}table" % NS["table"]):
        out.write("sheet %s\n" % attr(sheet, "table", "name"))
        row_index = 0
        for row in sheet.iter("{%s}table-row" % NS["table"]):
            rows = int(attr(row, "table", "number-rows-repeated") or 1)
            col = 0
            for cell in row:
                if cell.tag not in ("{%s}table-cell" % NS["table"],
                                    "{%s}covered-table-cell" % NS["table"]):
                    continue
                repeat = int(attr(cell, "table", "number-columns-repeated") or 1)
                kind = attr(cell, "office", "value-type")
                if kind is not None:
                    formula = attr(cell, "table", "formula") or ""
                    if formula in ("of:=TRUE()", "of:=FALSE()"):
                        kind = "boolean"
                    value = (attr(cell, "office", "value") or attr(cell, "office", "date-value")
                             or attr(cell, "office", "time-value")
                             or attr(cell, "office", "boolean-value") or "-")
                    shown = "\n".join(paragraph_text(p) for p in cell.iterfind("text:p", NS))
                    text = shown.encode("utf-8").hex() if shown else "-"
                    for r in range(rows):
                        for k in range(repeat):
                            out.write("%s%d\t%s\t%s\t%s\n" % (column_name(col + k),
                                                              row_index + r + 1, kind, value, text))
                col += repeat
            row_index += rows
    return 0


if __name__ == "__main__":
    sys.exit(main())
