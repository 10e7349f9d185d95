"""Builds a small workbook and prints what it holds."""

import datetime

import _tablomir as t

book = t.Book()
summary = book.add_sheet("Summary")
summary.cell(1, 1, "Region")
summary.cell(1, 2, "Revenue")
for row, (region, revenue) in enumerate([("North", "1250.5"), ("South", "980"), ("East", "n/a")], start=2):
    summary.cell(row, 1, region)
    summary.cell(row, 2, revenue)
total = summary.cell(5, 2)
total.set_value_number(2230.5)  # a value write removes any formula, so set the formula after it
total.formula = "=SUM(B2:B4)"
summary.cell(6, 1).set_value_datetime(datetime.datetime(2026, 12, 11, 9, 30))

archive = book.copy_sheet(summary)  # shares its cell records with "Summary"
archive.set_sheet_state("hidden")

print(repr(book))
for sheet in book.sheets:
    print(f"{sheet!r}, state {sheet.sheet_state}, extent {sheet.max_row} x {sheet.max_column}")
    for cell in sheet.cells:
        extra = f" formula {cell.formula}" if cell.is_formula else ""
        print(f"  {cell.letter:>4} {cell.data_type} {cell.value!r}{extra}")
print("B3 of Summary:", summary.get_value_cell(3, 2))
