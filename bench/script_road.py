#!/usr/bin/python3
"""The whole road (open, import, filter duplicates, delete by keyword, export)
done by tabrovin-batch, each step its own process without pauses, beside the
same road done by a capable script: xlrd or openpyxl to read, sqlite3 in one
transaction with the engine's one-statement filter and delete, xlwt to write
pages of 1,000 rows. Prints each step's seconds and the script's time over ours.

    /usr/bin/python3 bench/script_road.py BUILD_BIN_DIR WORKBOOK [WORKBOOK...]

Without a workbook argument it writes a 65,535 x 10 .xls with xlwt and uses
the 300,000 x 10 .xlsx that bench_road leaves in the temp folder.
"""
import os, shutil, sqlite3, subprocess, sys, tempfile, time

import openpyxl, xlrd, xlwt

ROWS_PER_PAGE = 1000


def timed(step):
    start = time.perf_counter()
    step()
    return time.perf_counter() - start


def rows_of(path):
    """The sheet's rows as lists of texts, heading row first."""
    if path.endswith(".xls"):
        sheet = xlrd.open_workbook(path, on_demand=True).sheet_by_index(0)
        for r in range(sheet.nrows):
            yield [str(v) for v in sheet.row_values(r)]
    else:
        book = openpyxl.load_workbook(path, read_only=True)
        for row in book.worksheets[0].iter_rows(values_only=True):
            yield ["" if v is None else str(v) for v in row]


def script_road(bin_dir, workbook, work):
    db = os.path.join(work, "script.mdb")
    shutil.copy(os.path.join(bin_dir, "data", "B.mdb"), db)
    times = {}
    headings = []

    def open_step():
        count = 0
        for row in rows_of(workbook):
            if not headings:
                headings.extend(row)
            count += 1

    def import_step():
        con = sqlite3.connect(db)
        rows = rows_of(workbook)
        next(rows)
        names = ",".join("a%d" % c for c in range(10))
        con.executemany("INSERT INTO wen (%s) VALUES (%s)" % (names, ",".join("?" * 10)),
                        (r[:10] + [""] * (10 - len(r)) for r in rows))
        con.commit()
        con.close()

    def sql_step(sql):
        def run():
            con = sqlite3.connect(db)
            con.execute(sql)
            con.commit()
            con.close()
        return run

    def export_step():
        con = sqlite3.connect(db)
        rows = con.execute("SELECT %s FROM wen ORDER BY id" % ",".join("a%d" % c for c in range(10)))
        page, book, sheet, r = 0, None, None, 0
        out = os.path.join(work, "script-pages")
        os.makedirs(out, exist_ok=True)
        for row in rows:
            if r == 0:
                page += 1
                book = xlwt.Workbook(encoding="utf-8")
                sheet = book.add_sheet("Sheet1")
                for c, h in enumerate(headings[:10]):
                    sheet.write(0, c, h)
            r += 1
            for c, v in enumerate(row):
                if v:
                    sheet.write(r, c, v)
            if r == ROWS_PER_PAGE:
                book.save(os.path.join(out, "转换后的%d.xls" % page))
                r = 0
        if r:
            book.save(os.path.join(out, "转换后的%d.xls" % page))
        con.close()

    times["open"] = timed(open_step)
    times["import"] = timed(import_step)
    times["dedupe"] = timed(sql_step(
        "DELETE FROM wen WHERE id NOT IN (SELECT min(id) FROM wen GROUP BY a0)"))
    times["delete"] = timed(sql_step("DELETE FROM wen WHERE a1 LIKE '%9-1%'"))
    times["export"] = timed(export_step)
    return times


def our_road(bin_dir, workbook, work):
    home = os.path.join(work, "home")
    shutil.copytree(bin_dir, home, dirs_exist_ok=True)
    batch = os.path.join(home, "tabrovin-batch")
    steps = {
        "open": ["open", workbook],
        "import": ["import", workbook],
        "dedupe": ["dedupe", "--column", "0"],
        "delete": ["delete", "--column", "1", "--keyword", "9-1"],
        "export": ["export", "--rows", str(ROWS_PER_PAGE)],
    }
    times = {}
    for name, args in steps.items():
        times[name] = timed(lambda: subprocess.run([batch, "--home", home] + args, check=True,
                                                   stdout=subprocess.DEVNULL))
    return times


def xls_workbook(work):
    path = os.path.join(work, "65535x10.xls")
    book = xlwt.Workbook(encoding="utf-8")
    sheet = book.add_sheet("数据")
    for c in range(10):
        sheet.write(0, c, "列%d" % c)
    for r in range(1, 65536):
        for c in range(10):
            sheet.write(r, c, "值%d-%d" % (r, c) if c % 2 else ((r - 1) % 45875 + 1) * 10 + c)
    book.save(path)
    return path


def main():
    bin_dir = os.path.abspath(sys.argv[1])
    work = tempfile.mkdtemp(prefix="tabrovin-script-road-")
    road = os.path.join(tempfile.gettempdir(), "tabrovin-bench-road", "300000x10.xlsx")
    books = sys.argv[2:] or [xls_workbook(work), road]
    for book in books:
        ours = our_road(bin_dir, book, os.path.join(work, "ours"))
        script = script_road(bin_dir, book, work)
        print("%s:" % os.path.basename(book))
        for step in ours:
            print("  %-7s ours %7.2f s   script %7.2f s   %6.1fx"
                  % (step, ours[step], script[step], script[step] / ours[step]))
        total, stotal = sum(ours.values()), sum(script.values())
        print("  %-7s ours %7.2f s   script %7.2f s   %6.1fx" % ("total", total, stotal,
                                                            stotal / total))
        shutil.rmtree(os.path.join(work, "ours"), ignore_errors=True)
        shutil.rmtree(os.path.join(work, "script-pages"), ignore_errors=True)
    shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
