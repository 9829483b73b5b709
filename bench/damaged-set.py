#!/usr/bin/env python3
"""Makes a set of damaged PDF files and counts how many the tool repairs
against how many qpdf repairs.

The sound files come from real producers (groff, ghostscript, qpdf's
classic, object-stream and encrypted modes) and from a hand-written
template; each is damaged the ways real files are (bytes before the header,
line ends re-encoded, startxref pointing nowhere or lost in appended bytes,
table entries wrong, table or trailer missing or broken, a wrong stream
Length, the file cut short) and by cuts and byte flips at random places
(fixed seed). Repaired means, for the tool: exit 0 and an output that
`qpdf --check` finds clean; for qpdf: `qpdf in.pdf out.pdf` exits 0 or 3.

Usage: bench/damaged-set.py BUILD_DIR [WORK_DIR]
"""
import os, random, re, subprocess, sys, tempfile

build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build")
work = sys.argv[2] if len(sys.argv) > 2 else tempfile.mkdtemp(prefix="cv")
os.makedirs(work, exist_ok=True)


def run(argv, **kw):
    return subprocess.run(argv, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=60, **kw)


def producers():
    files = {}
    man = os.path.join(work, "g.man")
    with open(man, "w") as f:
        f.write(".TH T 1\n.SH NAME\nt \\- damaged set\n" + "".join(
            ".SH S%d\n%s\n.bp\n" % (i, "text " * 200) for i in range(6)))
    groff = os.path.join(work, "groff.pdf")
    with open(groff, "wb") as out:
        subprocess.run(["groff", "-man", "-Tpdf", man], stdout=out, stderr=subprocess.DEVNULL)
    files["groff"] = groff
    ps = os.path.join(work, "gs.ps")
    with open(ps, "w") as f:
        f.write("%!PS\n" + "".join("/Times-Roman findfont 20 scalefont setfont 72 700 moveto"
                                   " (page %d) show showpage\n" % i for i in range(5)))
    gs = os.path.join(work, "gs.pdf")
    run(["gs", "-q", "-dBATCH", "-dNOPAUSE", "-sDEVICE=pdfwrite", "-o", gs, ps])
    files["gs"] = gs
    for name, args in [("qpdf-classic", ["--object-streams=disable"]),
                       ("qpdf-objstm", ["--object-streams=generate"]),
                       ("qpdf-aes256", ["--object-streams=disable", "--encrypt", "", "o", "256", "--"]),
                       ("qpdf-linear", ["--linearize"])]:
        out = os.path.join(work, name + ".pdf")
        run(["qpdf"] + args + [groff, out])
        files[name] = out
    return {k: open(v, "rb").read() for k, v in files.items() if os.path.getsize(v) > 0}


def template():
    objs = [b"<< /Type /Catalog /Pages 2 0 R >>",
            b"<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 2 /MediaBox [0 0 200 200] >>",
            b"<< /Type /Page /Parent 2 0 R /Contents 5 0 R >>",
            b"<< /Type /Page /Parent 2 0 R /Contents 6 0 R >>",
            b"<< /Length 17 >>\nstream\n0 0 m 100 100 l S\nendstream",
            b"<< /Length 24 >>\nstream\nBT (1 0 obj endobj) Tj ET\nendstream"]
    out = bytearray(b"%PDF-1.4\n")
    offs = []
    for i, body in enumerate(objs, 1):
        offs.append(len(out))
        out += b"%d 0 obj\n" % i + body + b"\nendobj\n"
    x = len(out)
    out += b"xref\n0 %d\n0000000000 65535 f \n" % (len(objs) + 1)
    out += b"".join(b"%010d 00000 n \n" % o for o in offs)
    out += b"trailer\n<< /Size %d /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (len(objs) + 1, x)
    return bytes(out)


def damages(name, data, rnd):
    sx = data.rfind(b"startxref")
    eol = re.search(rb"[\r\n]", data[sx + 10:])
    num_end = sx + 10 + (eol.start() if eol else 0)
    yield "junk", b"Content-Type: application/pdf\r\n\r\n" + data
    yield "crlf", re.sub(rb"\r?\n", b"\r\n", data)
    yield "startxref-nowhere", data[:sx + 10] + b"60" + data[num_end:]
    yield "startxref-far", data + b"\n" * 1500 + b"junk\n"
    table = data.rfind(b"\nxref\n")
    if table >= 0:
        t = bytearray(data)
        first = data.find(b" n", table) - 16
        t[first:first + 10] = b"0000000100"
        yield "wrong-entry", bytes(t)
        tr = data.find(b"trailer", table)
        if tr > 0:
            yield "no-table", data[:table + 1] + data[tr:]
    tr = data.rfind(b"trailer")
    if tr > 0:
        yield "no-trailer", data[:tr] + data[sx:]
        yield "broken-trailer", data[:tr] + b"trailer\n<< /Root (" + data[tr + 12:]
    m = re.search(rb"/Length (\d+)", data)
    if m:
        yield "wrong-length", data[:m.start(1)] + str(int(m.group(1)) + 7).encode() + data[m.end(1):]
    yield "cut-90", data[:len(data) * 9 // 10]
    for i in range(6):
        yield "cut-rand-%d" % i, data[:rnd.randrange(len(data) // 2, len(data))]
    for i in range(6):
        b = bytearray(data)
        for _ in range(rnd.randint(1, 6)):
            b[rnd.randrange(len(b))] = rnd.randrange(256)
        yield "flip-%d" % i, bytes(b)


def main():
    rnd = random.Random(34)
    sound = producers()
    sound["template"] = template()
    total = ours = theirs = ours_clean = 0
    rows = []
    for name, data in sorted(sound.items()):
        for kind, bytes_ in damages(name, data, rnd):
            path = os.path.join(work, "in.pdf")
            with open(path, "wb") as f:
                f.write(bytes_)
            # A damage that leaves a sound file is no damage.
            if run(["qpdf", "--check", path]).returncode == 0:
                continue
            total += 1
            out = os.path.join(work, "out.pdf")
            for p in (out, os.path.join(work, "q.pdf")):
                if os.path.exists(p):
                    os.remove(p)
            r = run([os.path.join(build, "linkpoint"), path, out, "-l", ""])
            ok = r.returncode == 0
            clean = ok and run(["qpdf", "--check", out]).returncode == 0
            q = run(["qpdf", path, os.path.join(work, "q.pdf")]).returncode in (0, 3)
            ours += ok
            ours_clean += clean
            theirs += q
            rows.append("%-14s %-18s tool=%s clean=%s qpdf=%s" % (name, kind, ok, clean, q))
    print("\n".join(rows))
    print("damaged files: %d; tool repairs %d (%d with an output qpdf --check finds clean); "
          "qpdf repairs %d" % (total, ours, ours_clean, theirs))


main()
