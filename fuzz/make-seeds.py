#!/usr/bin/env python3
"""Writes the small hand-made seed files of the fuzz targets (run once; the
output is kept in the repository). Real files are added beside them."""
import os, zlib, base64

here = os.path.dirname(os.path.abspath(__file__))

def write(target, name, data):
    d = os.path.join(here, "seeds", target)
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, name), "wb") as f:
        f.write(data if isinstance(data, bytes) else data.encode("latin-1"))

def pdf(objects, trailer_extra=b"", base=None):
    out = bytearray(b"%PDF-1.4\n%\xe2\xe3\xcf\xd3\n")
    offsets = {}
    for num, body in objects:
        offsets[num] = len(out)
        out += b"%d 0 obj\n" % num + (body if isinstance(body, bytes) else body.encode()) + b"\nendobj\n"
    size = max(offsets) + 1
    start = len(out)
    out += b"xref\n0 %d\n0000000000 65535 f \n" % size
    for n in range(1, size):
        out += (b"%010d 00000 n \n" % offsets[n]) if n in offsets else b"0000000000 00001 f \n"
    out += b"trailer\n<< /Size %d /Root 1 0 R%s >>\nstartxref\n%d\n%%%%EOF\n" % (size, trailer_extra, start)
    return bytes(out)

def stream(dict_entries, data):
    return b"<< " + dict_entries.encode() + b" /Length %d >>\nstream\n" % len(data) + data + b"\nendstream"

pages = [(1, "<< /Type /Catalog /Pages 2 0 R /Names 6 0 R >>"),
         (2, "<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 2 /MediaBox [0 0 612 792] >>"),
         (3, "<< /Type /Page /Parent 2 0 R /Contents 5 0 R /Annots [<< /Type /Annot /Subtype /Link /Rect [0 0 10 10] /Dest (b) >>] >>"),
         (4, "<< /Type /Page /Parent 2 0 R /Rotate 90 >>"),
         (5, stream("/Filter /FlateDecode", zlib.compress(b"BT /F1 12 Tf (Hello) Tj ET"))),
         (6, "<< /Dests 7 0 R >>"),
         (7, "<< /Kids [8 0 R] >>"),
         (8, "<< /Limits [(a) (b)] /Names [(a) [3 0 R /XYZ 0 0 0] (b) << /D [4 0 R /Fit] >>] >>"),
         (9, stream("/Filter [/ASCII85Decode /FlateDecode]", base64.a85encode(zlib.compress(b"x" * 300), adobe=True))),
         (10, stream("/Filter /ASCIIHexDecode", b"48656c6c6f>")),
         (11, stream("/Filter /RunLengthDecode", b"\x02abc\xfdz\x80")),
         (12, "<< /Title (Seed) /CreationDate (D:20260101120000+09'00') >>")]
doc = pdf(pages, b" /Info 12 0 R")
write("document", "two-pages.pdf", doc)
write("job", "two-pages.pdf", doc)
update_objs = b"13 0 obj\n<< /Type /Page /Parent 2 0 R >>\nendobj\n"
start = len(doc) + len(update_objs)
update = doc + update_objs + b"xref\n13 1\n%010d 00000 n \ntrailer\n<< /Size 14 /Root 1 0 R /Prev %d >>\nstartxref\n%d\n%%%%EOF\n" % (len(doc), doc.rindex(b"xref"), start)
write("document", "incremental.pdf", update)
write("job", "incremental.pdf", update)
flat = pdf([(1, "<< /Type /Catalog /Pages 2 0 R >>"), (2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>"),
            (3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 100 100] >>")])
write("document", "flat.pdf", flat)
# Damaged: bytes before the header and no table left; a trailer broken.
write("document", "damaged-no-table.pdf",
      b"Content-Type: application/pdf\r\n\r\n" + doc[:doc.rindex(b"xref\n0 ")])
write("document", "damaged-trailer.pdf", doc.replace(b"/Root 1 0 R", b"/Root 1 0 R /X (", 1))
write("job", "flat.pdf", flat)

for i, text in enumerate([
        "<< /A 1 /B [1 2.5 -3 +4 .5 5.] /C (str\\(ing\\)\\n) /D <48656C6C6F> /E true /F null /G /N#20ame >>",
        "[1 0 R [[[[]]]] << >> (\\101\\1012) 12345678901234567890 -0.0000001]",
        "(unbalanced (paren) \\\r\n continued)", "<FEFF00410042>", "/Name%comment\n"]):
    write("value", "v%d" % i, text)

for i, text in enumerate([
        "<< /Names [(a) [3 0 R /XYZ 0 0 0] (b) << /D [3 0 R /FitH 100] >> <FEFF0063> [3 0 R /Fit]] >>",
        "<< /Kids [<< /Names [(x) [3 0 R /FitR 0 0 1 1]] /Limits [(x) (x)] >>] >>",
        "<< /Kids [5 0 R] >>", "<< /Names [(a) 3 0 R (b) [1 0 R /XYZ]] >>"]):
    write("nametree", "t%d" % i, text)

def fseed(filt, data, geometry=b"\x10\x10\x03\x00\x00\x00\x00\x00"):
    return bytes([filt]) + geometry[1:] + data
write("filters", "hex", fseed(0, b"48 65 6c 6C 6>"))
write("filters", "a85", fseed(1, base64.a85encode(b"Hello, world\x00\x00\x00\x00", adobe=True)))
write("filters", "flate", fseed(2, zlib.compress(bytes(range(256)) * 4)))
write("filters", "flate-png", bytes([2, 0, 0, 3, 0, 12, 3, 0]) + zlib.compress(b"\x02\x01\x02\x03\x04" * 20))
write("filters", "runlength", fseed(3, b"\x03abcd\xfe!\x80"))
write("filters", "ccitt", bytes([4, 0, 7, 0, 0, 0, 0, 0]) + b"\x00\x01\x80" * 8)
