"""Reads an XML document with three parsers: expat, as Python's own
xml.etree.ElementTree uses it (with namespaces), libxml2 through lxml, and
libxml2 again by the name rules of XML 1.0's fourth edition (xmllint
--oldxml10). When one refuses the document, prints its reason and exits 1.
Otherwise, when ElementTree and lxml read the same tree, prints it, one line
per element in document order: the depth, the tag, the text (without the
blanks and line breaks around it), then NAME=VALUE per attribute in
document order, every text as its hexadecimal UTF-8 ("-" when empty)."""
import subprocess
import sys
import xml.etree.ElementTree as ElementTree

from lxml import etree


def hexed(text):
    return text.encode("utf-8").hex() if text else "-"


def dump(element, depth, out):
    pairs = " ".join("%s=%s" % (hexed(k), hexed(v)) for k, v in element.attrib.items())
    text = (element.text or "").strip(" \r\n")
    out.append(("%d %s %s %s" % (depth, hexed(element.tag), hexed(text), pairs)).rstrip())
    for child in element:
        dump(child, depth + 1, out)


def main():
    path = sys.argv[1]
    try:
        expat_root = ElementTree.parse(path).getroot()
    except ElementTree.ParseError as e:
        print("expat:", e)
        return 1
    parser = etree.XMLParser(resolve_entities=False, no_network=True, recover=False)
    try:
        lxml_root = etree.parse(path, parser).getroot()
    except etree.XMLSyntaxError as e:
        print("libxml2:", e)
        return 1
    old = subprocess.run(["xmllint", "--oldxml10", "--noout", path], capture_output=True,
                         text=True)
    if old.returncode != 0:
        print("libxml2 (fourth edition):", old.stderr[:2000])
        return 1
    by_expat, by_lxml = [], []
    dump(expat_root, 0, by_expat)
    dump(lxml_root, 0, by_lxml)
    if by_expat != by_lxml:
        print("the parsers read different trees")
        return 1
    print("\n".join(by_expat))
    return 0


if __name__ == "__main__":
    sys.exit(main())
