"""Prints the table cells of a document that LibreOffice saved as HTML.

One line per table row; cells separated by a tab, each as "colour|text"
(colour the cell's background as #rrggbb in lower case, or "-" when it has
none), with backslash, tab and line breaks in the text escaped as \\, \t
and \n. Output is UTF-8.
"""
import re
import sys

import lxml.html


def cell_colour(td):
    colour = td.get("bgcolor")
    if not colour:
        m = re.search(r"background(?:-color)?\s*:\s*(#[0-9a-fA-F]{6})", td.get("style", ""))
        colour = m.group(1) if m else None
    return colour.lower() if colour else "-"


def cell_text(td):
    parts = []

    # Line ends of the HTML source are blanks; only <br> and paragraphs break lines.
    def words(s):
        return re.sub(r"[ \r\n\t]+", " ", s)

    def walk(el):
        if el.tag == "br":
            parts.append("\n")
        elif el.tag == "p" and parts:
            parts.append("\n")
        if el.text:
            parts.append(words(el.text))
        for child in el:
            walk(child)
            if child.tail:
                parts.append(words(child.tail))

    walk(td)
    text = "".join(parts)
    text = re.sub(r" *\n *", "\n", text).strip("\n ")
    return text.replace("\u00a0", " ")


def main():
    with open(sys.argv[1], "rb") as f:
        doc = lxml.html.fromstring(f.read())
    out = []
    for tr in doc.iter("tr"):
        cells = []
        for td in tr:
            if td.tag not in ("td", "th"):
                continue
            text = cell_text(td)
            text = text.replace("\\", "\\\\").replace("\t", "\\t").replace("\n", "\\n")
            cells.append(cell_colour(td) + "|" + text)
        out.append("\t".join(cells))
    sys.stdout.buffer.write(("\n".join(out) + "\n").encode("utf-8"))


main()
