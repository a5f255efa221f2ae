#!/usr/bin/env python3
"""The same merge with python-docxtpl and python-docxcompose: the template rendered once per student,
the results joined into one document (or saved one per student). Prints the seconds it took.

    docxtpl_merge.py TEMPLATE DATA.json OUT.docx         one document
    docxtpl_merge.py TEMPLATE DATA.json OUTDIR --each    one file per student
"""
import io
import json
import os
import sys
import time

from docx import Document
from docxcompose.composer import Composer
from docxtpl import DocxTemplate


def render(template, record):
    tpl = DocxTemplate(template)
    tpl.render(record)
    buffer = io.BytesIO()
    tpl.save(buffer)
    buffer.seek(0)
    return buffer


def main():
    template, data_path, out = sys.argv[1:4]
    each = "--each" in sys.argv[4:]
    with open(data_path, encoding="utf-8") as f:
        records = json.load(f)
    start = time.perf_counter()
    if each:
        for record in records:
            name = record["USN"] + ".docx"
            with open(os.path.join(out, name), "wb") as f:
                f.write(render(template, record).getvalue())
    else:
        composer = None
        for record in records:
            document = Document(render(template, record))
            if composer is None:
                composer = Composer(document)
            else:
                document.paragraphs[0].insert_paragraph_before().add_run().add_break(7)  # page break
                composer.append(document)
        composer.save(out)
    print(f"{time.perf_counter() - start:.3f}")


if __name__ == "__main__":
    main()
