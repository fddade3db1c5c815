#!/usr/bin/python3
"""Reads an exported file back with an independent reader and prints its cells, one row a line,
cells separated by ' | ', numbers as repr(float), texts as they are, empty cells as <>."""
import csv
import html.parser
import io
import subprocess
import sys
import tempfile


def show(rows):
    for row in rows:
        cells = []
        for v in row:
            if v is None or v == "":
                cells.append("<>")
            elif isinstance(v, float):
                cells.append(repr(v))
            elif isinstance(v, int):
                cells.append(repr(float(v)))
            else:
                cells.append(str(v).replace("\r", "\\r").replace("\n", "\\n"))
        print(" | ".join(cells))


def delimited(path, delimiter, encoding):
    with open(path, newline="", encoding=encoding) as f:
        return list(csv.reader(f, delimiter=delimiter))


def xls(path):
    import xlrd
    book = xlrd.open_workbook(path)
    sheet = book.sheet_by_index(0)
    rows = []
    for r in range(sheet.nrows):
        row = []
        for c in range(sheet.ncols):
            cell = sheet.cell(r, c)
            if cell.ctype == xlrd.XL_CELL_DATE:
                row.append("date:" + repr(cell.value))
            else:
                row.append(cell.value)
        rows.append(row)
    return rows


def xlsx(path):
    """Texts as Excel shows them: openpyxl leaves the _xHHHH_ forms of inline texts as they are,
    Excel reads each as its character."""
    import openpyxl
    from openpyxl.utils.escape import unescape
    sheet = openpyxl.load_workbook(path).active
    rows = []
    for r in sheet.iter_rows(values_only=True):
        rows.append([("date:" + v.isoformat(sep=" ")) if hasattr(v, "isoformat")
                     else unescape(v) if isinstance(v, str) else v for v in r])
    return rows


def dbf(path):
    import dbfread
    table = dbfread.DBF(path)
    rows = [list(table.field_names)]
    for record in table:
        rows.append([("date:" + v.isoformat()) if hasattr(v, "isoformat") else v
                     for v in record.values()])
    return rows


class Table(html.parser.HTMLParser):
    def __init__(self):
        super().__init__()
        self.rows, self.cell, self.charset = [], None, None

    def handle_starttag(self, tag, attrs):
        if tag == "meta":
            content = dict(attrs).get("content", "")
            if "charset=" in content:
                self.charset = content.split("charset=")[1]
        if tag == "tr":
            self.rows.append([])
        if tag in ("td", "th"):
            self.cell = ""
        if tag == "br" and self.cell is not None:
            self.cell += "\n"

    def handle_endtag(self, tag):
        if tag in ("td", "th"):
            self.rows[-1].append(self.cell)
            self.cell = None

    def handle_data(self, data):
        if self.cell is not None:
            self.cell += data


def htm(path):
    raw = open(path, "rb").read()
    head = raw[:400].decode("ascii", "replace")
    charset = head.split("charset=")[1].split('"')[0]
    parser = Table()
    parser.feed(raw.decode(charset))
    print("charset " + charset)
    return parser.rows


def gnumeric(path, shown_as):
    """Gnumeric shows the bytes of these formats' texts in a fixed character set (`shown_as`);
    turned back into bytes they must read as GB18030."""
    with tempfile.TemporaryDirectory() as d:
        out = d + "/out.csv"
        subprocess.run(["ssconvert", path, out], check=True, capture_output=True)
        rows = delimited(out, ",", "utf-8")
    return [[cell.encode(shown_as).decode("gb18030") for cell in row] for row in rows]


def gnumeric_cells(path):
    """The cells as Gnumeric opens the file: texts as they are, numbers as numbers, and a cell
    that became a formula as 'formula:' and its expression."""
    import gzip
    import xml.etree.ElementTree as ET
    with tempfile.TemporaryDirectory() as d:
        out = d + "/out.gnumeric"
        subprocess.run(["ssconvert", path, out], check=True, capture_output=True)
        root = ET.fromstring(gzip.open(out).read())
    ns = {"gnm": "http://www.gnumeric.org/v10.dtd"}
    cells = {}
    for cell in root.iterfind(".//gnm:Cells/gnm:Cell", ns):
        text = cell.text or ""
        kind = cell.get("ValueType")
        if kind is None:
            value = "formula:" + text
        elif kind in ("30", "40"):
            value = float(text)
        else:
            value = text
        cells[(int(cell.get("Row")), int(cell.get("Col")))] = value
    rows = max(r for r, _ in cells) + 1
    cols = max(c for _, c in cells) + 1
    return [[cells.get((r, c)) for c in range(cols)] for r in range(rows)]


kind, path = sys.argv[1], sys.argv[2]
readers = {
    "txt": lambda: delimited(path, "\t", "gb18030"),
    "csv": lambda: delimited(path, ",", "gb18030"),
    "xls": lambda: xls(path),
    "xlsx": lambda: xlsx(path),
    "dbf": lambda: dbf(path),
    "htm": lambda: htm(path),
    "dif": lambda: gnumeric(path, "latin-1"),
    "slk": lambda: gnumeric(path, "latin-1"),
    "wks": lambda: gnumeric(path, "cp850"),
    "wk1": lambda: gnumeric(path, "cp850"),
    "gnumeric": lambda: gnumeric_cells(path),
}
show(readers[kind]())
