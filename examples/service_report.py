"""A report service: builds a workbook through a Service subclass and prints its JSON document."""

import json

import _tablomir as t

SALES = [("North", 1250.5, 1310.0), ("South", 980.0, 1022.25), ("East", 730.75, 801.5)]


class QuarterlyReport(t.Service):
    """`conn_db` is whatever the service needs to reach its data; here a plain list."""

    def summary_0(self, sheets, /, **kwargs):
        sheet = self._add_sheet(kwargs.get("title", "Summary"))
        sheet.add_merge_cells(1, 1, 1, 3)          # header across A1:C1
        sheet.cell(1, 1, "Quarterly sales").style = "header"
        sheet.set_height_row(1, 28.0)
        for col, label in enumerate(("Region", "Q1", "Q2"), start=1):
            sheet.cell(2, col, label).style = "label"
        for row, (region, q1, q2) in enumerate(self._conn_db, start=3):
            sheet.cell(row, 1, region)
            sheet.cell(row, 2).set_value_number(q1)
            sheet.cell(row, 3).set_value_number(q2)
        last = 2 + len(self._conn_db)
        total = sheet.cell(last + 1, 3)
        total.set_value_number(sum(q2 for _, _, q2 in self._conn_db))
        total.formula = f"=SUM(C3:C{last})"     # set after the value: a value write drops the formula
        sheet.set_width_column(1, 18.0)
        sheet.add_comment(last + 1, 3, "Q2 includes late invoices", "finance")
        return sheet


report = QuarterlyReport(SALES)
report.summary_0([], title="Sales 2026")
print(repr(report))
print(report.to_json())
print(json.dumps(report.to_dict()["sheets"][0]["cells"][-1], indent=2))
