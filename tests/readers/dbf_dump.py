"""Prints a dBase table as another reader (python3-dbfread) sees it, one
line for the fields and one per live record, values separated by tabs:
\\N for none, T/F, numbers with ten significant digits, dates in ISO form,
binary data in hexadecimal, text with backslash, tab and line ends escaped."""
import datetime
import decimal
import sys

import dbfread


def canonical(v):
    if v is None:
        return "\\N"
    if isinstance(v, bool):
        return "T" if v else "F"
    if isinstance(v, int):
        return str(v)
    if isinstance(v, (float, decimal.Decimal)):
        return "%.10g" % float(v)
    if isinstance(v, (datetime.datetime, datetime.date)):
        return v.isoformat()
    if isinstance(v, (bytes, bytearray)):
        return v.hex()
    return (v.replace("\\", "\\\\").replace("\t", "\\t")
            .replace("\n", "\\n").replace("\r", "\\r"))


def main():
    table = dbfread.DBF(sys.argv[1], load=True, char_decode_errors="strict",
                        ignore_missing_memofile=False)
    names = [f for f in table.fields if f.type != "0"]
    print("\t".join("%s:%s:%d:%d" % (f.name, f.type, f.length, f.decimal_count)
                    for f in names))
    for r in table.records:
        print("\t".join(canonical(r[f.name]) for f in names))


main()
