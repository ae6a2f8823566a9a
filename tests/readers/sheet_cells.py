"""Prints the cells of the first sheet of a flat OpenDocument spreadsheet
(.fods, as LibreOffice saves one), one line per row, the cells separated by
tabs, each as TYPE|VALUE: TYPE is the cell's office:value-type ("float",
"string", ... or "-" for an empty cell), VALUE the number as stored
(office:value) for numbers and the hexadecimal UTF-8 of the text otherwise.
Repeated cells and rows are written out; trailing empty cells are left off."""
import sys

from lxml import etree

NS = {
    "office": "urn:oasis:names:tc:opendocument:xmlns:office:1.0",
    "table": "urn:oasis:names:tc:opendocument:xmlns:table:1.0",
    "text": "urn:oasis:names:tc:opendocument:xmlns:text:1.0",
}


def attr(element, ns, name):
    return element.get("{%s}%s" % (NS[ns], name))


def cell_text(cell):
    return "\n".join("".join(p.itertext()) for p in cell.iterfind("text:p", NS))


def main():
    root = etree.parse(sys.argv[1]).getroot()
    sheet = root.find(".//table:table", NS)
    rows = []
    for row in sheet.iter("{%s}table-row" % NS["table"]):
        cells = []
        for cell in row:
            if cell.tag not in ("{%s}table-cell" % NS["table"],
                                "{%s}covered-table-cell" % NS["table"]):
                continue
            kind = attr(cell, "office", "value-type")
            if kind is None:
                shown = "-|"
            elif kind in ("float", "percentage", "currency"):
                shown = "%s|%s" % (kind, attr(cell, "office", "value"))
            else:
                shown = "%s|%s" % (kind, cell_text(cell).encode("utf-8").hex())
            cells += [shown] * int(attr(cell, "table", "number-columns-repeated") or 1)
        while cells and cells[-1] == "-|":
            cells.pop()
        rows += [cells] * int(attr(row, "table", "number-rows-repeated") or 1)
    while rows and not rows[-1]:
        rows.pop()
    for cells in rows:
        print("\t".join(cells))
    return 0


if __name__ == "__main__":
    sys.exit(main())
