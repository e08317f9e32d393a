#!/usr/bin/env python3
"""Renders an invoice from Python rows with nerolin_report.

    python3 examples/python/invoice.py DATABASE [REPORT]

writes REPORT (invoice.html by default) from the template beside this file.
DATABASE is the host's SQLite database (scripts/demo builds out/demo.db):
the engine reads its settings through the host data library even when the
rows come from Python. The rows could come from a statement instead:

    rows = library.recordset("SELECT * FROM vwVADDocDocumentPrint WHERE ID = 1001")
"""

import datetime
import pathlib
import sys
from decimal import Decimal

import nerolin_report

TEMPLATE = pathlib.Path(__file__).with_name("invoice.html")


def invoice_rows():
    """One mapping per line of the invoice; every row repeats the header."""
    header = {
        "Serie": "A", "Folio": "1187",
        "DocumentDate": datetime.date(2024, 3, 15),
        "Customer": "Aceros del Bajío, S.A. de C.V.",
        "Notes": None,
    }
    lines = [
        ("Ángulo 1\"", Decimal("10"), Decimal("85.50")),
        ("Solera 1/4", Decimal("4"), Decimal("125.125")),
        ("Tornillo", Decimal("2.5"), Decimal("48")),
    ]
    header["Total"] = sum(quantity * price for _, quantity, price in lines)
    return [dict(header, Descripcion=name, Cantidad=quantity,
                 ValorUnitario=price, LineAmount=quantity * price)
            for name, quantity, price in lines]


def main():
    if len(sys.argv) not in (2, 3):
        sys.exit("usage: invoice.py DATABASE [REPORT]")
    report = sys.argv[2] if len(sys.argv) == 3 else "invoice.html"
    # The engine's messages (a template it cannot read, a placeholder that
    # fails) would go to standard error; a host shows them its own way.
    nerolin_report.set_message_handler(
        lambda text, title, icon: print("engine:", text, file=sys.stderr))
    engine = nerolin_report.Engine()
    try:
        library = nerolin_report.SqliteLibrary(sys.argv[1])
        engine.nerolin_lib = library
        text, _ = engine.generate(invoice_rows(), TEMPLATE, report)
    except nerolin_report.AutomationError as error:
        sys.exit(f"{error.source}: error {error.number}: {error.description}")
    print(f"{report}: {len(text)} characters")


if __name__ == "__main__":
    main()
