"""Prints every cell of a workbook's first sheet as read by a real spreadsheet reader (openpyxl):
one JSON list per line: [row, column, type, value, number format], rows and columns from 0.
Type "n" is a number, "s" text, "e" an empty cell."""
import json
import sys

import openpyxl

sheet = openpyxl.load_workbook(sys.argv[1]).worksheets[0]
print(json.dumps(sheet.title, ensure_ascii=False))
for row in sheet.iter_rows():
    for cell in row:
        if cell.value is None:
            kind = "e"
        elif isinstance(cell.value, (int, float)) and not isinstance(cell.value, bool):
            kind = "n"
        else:
            kind = "s"
        print(json.dumps([cell.row - 1, cell.column - 1, kind, cell.value, cell.number_format], ensure_ascii=False))
