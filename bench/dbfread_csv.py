#!/usr/bin/python3
"""The dbfread converter of the command-line benchmark: table.dbf -> out.csv."""
import csv
import sys

from dbfread import DBF


def main():
    table, out = sys.argv[1], sys.argv[2]
    dbf = DBF(table, encoding="cp1252")
    with open(out, "w", newline="", encoding="utf-8") as f:
        w = csv.writer(f)
        w.writerow(dbf.field_names)
        for record in dbf:
            w.writerow(record.values())


if __name__ == "__main__":
    main()
