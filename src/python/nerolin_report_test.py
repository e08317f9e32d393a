"""nerolin_report as a Python host drives it: over the demo database that
nerolin-report builds, and over SQLite files and Python rows of its own."""

import datetime
import decimal
import os
import pathlib
import sqlite3
import subprocess
import sys
import threading
import time

import pytest

import nerolin_report

CLI = os.environ["NEROLIN_REPORT_BINARY"]
SOURCE = pathlib.Path(os.environ["NEROLIN_SOURCE_DIR"])

VALUES_TEMPLATE = (
    "<html><body><DETAIL><p>[Amount]|[FORMAT(Amount,#,##0.00)]|[Issued]|"
    "[FORMAT(Issued,yyyy-mm-dd hh:nn:ss)]|[Note]|[Qty]|[Rate]|[Paid]|[Name]"
    "</p></DETAIL></body></html>")


@pytest.fixture(scope="module")
def demo(tmp_path_factory):
    """The demo database and reports, as the CLI renders them."""
    out = tmp_path_factory.mktemp("demo")
    listing = subprocess.run([CLI, "demo", "--out", str(out)], check=True,
                             capture_output=True, text=True).stdout
    with sqlite3.connect(out / "demo.db") as db:
        name, sql, module = db.execute(
            "SELECT Name, SQL, ModuleID FROM demoReport JOIN docDocument "
            "ON DocumentID = 1001 WHERE Name LIKE 'factura%'").fetchone()
        template = db.execute(
            "SELECT FileName FROM engModulePrintFormat "
            "WHERE FormatIsDefault <> 0 AND ModuleID = ?", (module,)).fetchone()[0]
    report = out / (name + ".html")
    assert str(report) in listing.split("\n")
    return out / "demo.db", sql, template, report


@pytest.fixture
def engine(tmp_path):
    """An engine over a host database of one empty table: the engine reads
    its settings through the library even when the rows come from Python."""
    database = tmp_path / "host.db"
    with sqlite3.connect(database) as db:
        db.execute("CREATE TABLE engParameter (Key TEXT, Value TEXT)")
    db.close()
    engine = nerolin_report.Engine()
    engine.nerolin_lib = nerolin_report.SqliteLibrary(database)
    return engine


@pytest.fixture
def messages():
    got = []
    nerolin_report.set_message_handler(
        lambda text, title, icon: got.append((text, title, icon)))
    yield got
    nerolin_report.set_message_handler(None)


def test_demo_invoice_equals_the_cli_report(demo, tmp_path):
    database, sql, template, cli_report = demo
    engine = nerolin_report.Engine()
    library = nerolin_report.SqliteLibrary(database)
    engine.nerolin_lib = library
    engine.find_match_if_field_doesnt_exists = True
    destination = tmp_path / "factura.html"

    text, source = engine.generate(library.recordset(sql), template,
                                   destination)

    assert destination.read_bytes() == cli_report.read_bytes()
    assert source == template
    cli = subprocess.run(
        [CLI, "--db", str(database), "--find-match", "generate", "--sql", sql,
         "--template", template, "--dest", str(tmp_path / "cli.html")],
        check=True, capture_output=True)
    assert text.encode("utf-8", "surrogateescape") == cli.stdout


def test_python_values_reach_the_template_as_sqlite_values_do(tmp_path):
    engine = nerolin_report.Engine()
    template = tmp_path / "values.html"
    template.write_text(VALUES_TEMPLATE)
    database = tmp_path / "values.db"
    with sqlite3.connect(database) as db:
        db.execute("CREATE TABLE t (Amount MONEY, Issued DATETIME, Note TEXT, "
                   "Qty INTEGER, Rate REAL, Paid BOOLEAN, Name TEXT)")
        db.execute("INSERT INTO t VALUES (1234.5, '2024-03-05 14:07:09', NULL,"
                   " 3000000000, 0.25, 1, 'Ángulo')")
    db.close()
    library = nerolin_report.SqliteLibrary(database)
    engine.nerolin_lib = library
    from_sqlite = library.recordset("SELECT * FROM t")
    from_python = nerolin_report.recordset([{
        "Amount": decimal.Decimal("1234.50"),
        "Issued": datetime.datetime(2024, 3, 5, 14, 7, 9, 500000),
        "Note": None, "Qty": 3000000000, "Rate": 0.25, "Paid": True,
        "Name": "Ángulo"}])

    assert from_python.columns == from_sqlite.columns
    expected = engine.render(from_sqlite, template)
    assert "|1,234.50|" in expected and "|2024-03-05 14:07:09|" in expected
    assert engine.render(from_python, template) == expected
    # A plain list of dicts is turned into the same recordset.
    assert engine.render(list(map(dict, [
        {"Amount": decimal.Decimal("1234.5"),
         "Issued": datetime.datetime(2024, 3, 5, 14, 7, 9), "Note": None,
         "Qty": 3000000000, "Rate": 0.25, "Paid": True, "Name": "Ángulo"}])),
        template) == expected


@pytest.mark.parametrize("rows, number, words", [
    ([{"a": 1}, {"b": 2}], 5, 'row 1 has the column "b"'),
    ([{"a": 1, "b": 2}, {"a": 1}], 5, 'row 1 lacks the column "b"'),
    ([{"a": b"x"}], 13, 'row 0, column "a": a bytes'),
    ([{"a": 1 << 70}], 6, "does not fit in 64 bits"),
    ([{"a": datetime.date(99, 1, 1)}], 5, "before the year 100"),
    ([{1: 1}], 13, "the column name 1 is no str"),
    ("text", 13, "row 0 is a str, not a mapping"),
    (42, 13, "the rows are a int"),
])
def test_rows_that_are_no_recordset_raise_their_number(rows, number, words):
    with pytest.raises(nerolin_report.AutomationError) as raised:
        nerolin_report.recordset(rows)
    assert raised.value.number == number
    assert words in raised.value.description


def test_an_engine_error_carries_number_description_and_source():
    engine = nerolin_report.Engine()
    with pytest.raises(nerolin_report.AutomationError) as raised:
        engine.get_html2("", "SELECT 1", "x.html")
    assert (raised.value.number, raised.value.description,
            raised.value.source) == (-2147221381,
                                     "La cadena de conexión no fué establecida",
                                     "NerolinHTMLReport")
    with pytest.raises(nerolin_report.AutomationError) as raised:
        engine.nbr_copies = 40000
    assert raised.value.number == 6 and engine.nbr_copies == 0


def test_a_message_reaches_the_handler_and_a_failing_handler_ends_nothing(
        engine, tmp_path, messages, monkeypatch):
    missing = tmp_path / "missing.html"
    assert engine.render([{"a": 1}], missing) is None
    assert messages == [(f"File not found: {missing}", "",
                         nerolin_report.MessageIcon.INFORMATION)]

    def failing(text, title, icon):
        raise RuntimeError("handler failed")
    unraisable = []
    monkeypatch.setattr(sys, "unraisablehook", unraisable.append)
    nerolin_report.set_message_handler(failing)
    assert engine.render([{"a": 1}], missing) is None
    assert [type(u.exc_value) for u in unraisable] == [RuntimeError]


def test_a_handler_may_call_back_into_the_module(engine, tmp_path):
    missing = tmp_path / "missing.html"
    heard = []

    def once(text, title, icon):
        heard.append(text)
        nerolin_report.set_message_handler(None)
    nerolin_report.set_message_handler(once)
    try:
        assert engine.render([{"a": 1}], missing) is None
        assert engine.render([{"a": 1}], missing) is None
    finally:
        nerolin_report.set_message_handler(None)
    assert heard == [f"File not found: {missing}"]


def test_two_threads_are_never_inside_the_engine_at_once(engine, tmp_path):
    template = tmp_path / "t.html"
    template.write_text("<DETAIL>[Name]=[Qty];</DETAIL>")
    missing = tmp_path / "missing.html"
    inside = []
    failures = []

    def handler(text, title, icon):
        # Sleeping gives up the GIL: without the engine lock the other
        # thread would come in meanwhile.
        inside.append(1)
        if len(inside) != 1:
            failures.append("two threads inside the engine")
        time.sleep(0.002)
        inside.pop()
    nerolin_report.set_message_handler(handler)

    def work(name):
        rows = [{"Name": name, "Qty": qty} for qty in range(50)]
        expected = "".join(f"{name}={qty};" for qty in range(50))
        for _ in range(40):
            if engine.render(rows, template) != expected:
                failures.append(f"{name}: wrong report")
            engine.render(rows, missing)

    try:
        threads = [threading.Thread(target=work, args=(name,))
                   for name in ("uno", "dos")]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()
    finally:
        nerolin_report.set_message_handler(None)
    assert failures == []


def test_the_example_renders_its_invoice(demo, tmp_path):
    out = tmp_path / "invoice.html"
    subprocess.run([sys.executable, SOURCE / "examples/python/invoice.py",
                    demo[0], out], check=True)
    assert "A-1187" in out.read_text(encoding="utf-8")
