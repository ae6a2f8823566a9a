"""Parses an XML document strictly with lxml (a document that is not
well-formed is reported and exits 1) and prints its values, each as the
hexadecimal UTF-8 of its text ("-" when empty, "?" when missing):
for a data packet, a line "field NAME TYPE" per FIELD (TYPE is the fieldtype
with the other attributes of the FIELD, as name=value pairs joined by ";")
and a line "row" per ROW with its values in the order of the FIELDs; for a
record set, a line "record" per record with NAME=VALUE per child element."""
import sys

from lxml import etree


def hexed(text):
    if text is None:
        return "?"
    return text.encode("utf-8").hex() if text else "-"


def main():
    parser = etree.XMLParser(resolve_entities=False, no_network=True, recover=False)
    try:
        root = etree.parse(sys.argv[1], parser).getroot()
    except etree.XMLSyntaxError as e:
        print("not well-formed:", e)
        return 1
    if root.tag == "DATAPACKET":
        names = []
        for field in root.iterfind("METADATA/FIELDS/FIELD"):
            name = field.get("attrname")
            names.append(name)
            described = ";".join("%s=%s" % (k, v) for k, v in field.attrib.items()
                                 if k != "attrname")
            print("field", hexed(name), hexed(described))
        for row in root.iterfind("ROWDATA/ROW"):
            extra = set(row.attrib) - set(names)
            if extra:
                print("undeclared attributes", sorted(extra))
                return 1
            print("row", " ".join(hexed(row.get(n)) for n in names))
    else:
        for record in root:
            print("record", " ".join("%s=%s" % (hexed(child.tag), hexed(child.text or ""))
                                     for child in record))
    return 0


if __name__ == "__main__":
    sys.exit(main())
