"""Reads an HTML document with lxml's HTML parser from its bytes, so that the
parser takes the charset from the document itself as a browser does, and
prints what its one table shows: a line "title HEX", then one line "row"
per table row with each cell as the hexadecimal UTF-8 of its text ("-" when
empty; a cell holding only a no-break space is empty), or "img:SRC:WxH" for
a picture, separated by blanks. Exits 1 when there is not exactly one table."""
import sys

import lxml.html


def hexed(text):
    return text.encode("utf-8").hex() if text else "-"


def main():
    with open(sys.argv[1], "rb") as f:
        data = f.read()
    doc = lxml.html.document_fromstring(data)
    tables = doc.xpath("//table")
    if len(tables) != 1:
        print("expected one table, found %d" % len(tables))
        return 1
    titles = doc.xpath("//title")
    print("title", hexed(titles[0].text_content() if titles else ""))
    for tr in tables[0].xpath(".//tr"):
        cells = []
        for td in tr.xpath("./td"):
            imgs = td.xpath(".//img")
            if imgs:
                img = imgs[0]
                cells.append("img:%s:%sx%s" % (img.get("src").encode("utf-8").hex(),
                                               img.get("width"), img.get("height")))
                continue
            text = td.text_content()
            cells.append(hexed("" if text == "\xa0" else text))
        print("row", " ".join(cells))
    return 0


if __name__ == "__main__":
    sys.exit(main())
