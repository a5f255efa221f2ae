"""Reads every table cell of every .docx in a folder with python-docx; prints documents and seconds.

The read-only rate of a widely used reader, for comparison with a whole extraction run.
"""
import pathlib
import sys
import time

import docx


def main(folder):
    files = sorted(p for p in pathlib.Path(folder).iterdir() if p.suffix.lower() == ".docx")
    started = time.perf_counter()
    cells = 0
    for path in files:
        document = docx.Document(str(path))
        for table in document.tables:
            for row in table.rows:
                for cell in row.cells:
                    cells += len(cell.text) >= 0
    elapsed = time.perf_counter() - started
    print(f"{len(files)} {elapsed:.6f} {cells}")


if __name__ == "__main__":
    main(sys.argv[1])
