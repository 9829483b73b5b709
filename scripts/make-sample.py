#!/usr/bin/env python3
"""Writes samples/sample.pdf: three text pages and one existing named
destination ("intro"), with a classic cross-reference table."""
import os
import zlib

here = os.path.dirname(os.path.abspath(__file__))
out = os.path.join(here, "..", "samples", "sample.pdf")

def content(n):
    text = (f"BT /F1 24 Tf 72 700 Td (linkpoint sample, page {n}) Tj ET\n"
            f"BT /F1 12 Tf 72 660 Td (Every page of this file gets a named destination.) Tj ET\n")
    data = zlib.compress(text.encode("ascii"))
    return (f"<< /Length {len(data)} /Filter /FlateDecode >>\nstream\n".encode()
            + data + b"\nendstream")

objects = {
    1: b"<< /Type /Catalog /Pages 2 0 R /Names 3 0 R >>",
    2: b"<< /Type /Pages /Kids [5 0 R 7 0 R 9 0 R] /Count 3 /MediaBox [0 0 612 792] >>",
    3: b"<< /Dests 4 0 R >>",
    4: b"<< /Names [(intro) [5 0 R /Fit]] >>",
    11: b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
    12: b"<< /Title (linkpoint sample) /Author (linkpoint) >>",
}
for i, (page, cont) in enumerate(((5, 6), (7, 8), (9, 10)), start=1):
    objects[page] = (f"<< /Type /Page /Parent 2 0 R /Resources << /Font << /F1 11 0 R >> >> "
                     f"/Contents {cont} 0 R >>").encode()
    objects[cont] = content(i)

body = b"%PDF-1.4\n%\xe2\xe3\xcf\xd3\n"
offsets = {}
for num in sorted(objects):
    offsets[num] = len(body)
    body += f"{num} 0 obj\n".encode() + objects[num] + b"\nendobj\n"
xref = len(body)
size = max(objects) + 1
body += f"xref\n0 {size}\n0000000000 65535 f \n".encode()
for num in range(1, size):
    body += f"{offsets[num]:010d} 00000 n \n".encode()
body += (f"trailer\n<< /Size {size} /Root 1 0 R /Info 12 0 R >>\n"
         f"startxref\n{xref}\n%%EOF\n").encode()
with open(out, "wb") as f:
    f.write(body)
