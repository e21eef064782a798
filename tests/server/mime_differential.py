#!/usr/bin/env python3
"""MIME answers of the store server for real mail, checked against an
independent parser (Python's email package).

Builds a Maildir from the corpus, starts the server on it, asks MIME and AINFO
for every message and compares, part by part and with the nesting: type,
subtype, charset, encoding, name, and for parts that are not containers the
size and line count of the part's body. Messages the independent parser reads
with defects (malformed mail) are not compared: there the two parsers may
legitimately disagree. Container sizes are not compared: the independent
parser keeps no extent for them (unit tests check those by hand).

Exit status 0 when every compared message agrees, or differs exactly as the
reviewed table EXPECTED_DIFFERENCES says.
"""
import argparse, email, email.header, email.policy, os, random, socket, subprocess, sys, tempfile

# source file (relative to the corpus) -> why the answers may differ
EXPECTED_DIFFERENCES = {
    "enmime/mail-mime-bad-8bit-filename.raw":
        "file name in raw 8-bit bytes: GMime reads them as UTF-8 (two characters, each "
        "outside the code page: '??'), the independent parser keeps six undecodable bytes",
    "enmime/mail-mime-bad-content-type.raw":
        "'application/pdf name=...' without ';': GMime reads subtype pdf, the independent "
        "parser folds the parameter into the subtype",
    "enmime/mail-mime-blank-media-name.raw":
        "same missing ';' before name=\"\"",
    "explode/multi-2evil.msg":
        "file name with quoted pairs and encoded words inside a quoted parameter: GMime "
        "unquotes and decodes them, the independent parser keeps them as written",
}

CP1252_HIGH = {0x20AC: 0x80, 0x201A: 0x82, 0x0192: 0x83, 0x201E: 0x84, 0x2026: 0x85, 0x2020: 0x86,
               0x2021: 0x87, 0x02C6: 0x88, 0x2030: 0x89, 0x0160: 0x8A, 0x2039: 0x8B, 0x0152: 0x8C,
               0x017D: 0x8E, 0x2018: 0x91, 0x2019: 0x92, 0x201C: 0x93, 0x201D: 0x94, 0x2022: 0x95,
               0x2013: 0x96, 0x2014: 0x97, 0x02DC: 0x98, 0x2122: 0x99, 0x0161: 0x9A, 0x203A: 0x9B,
               0x0153: 0x9C, 0x017E: 0x9E, 0x0178: 0x9F}

def blank(cp):
    return (cp <= 0x20 or cp == 0x7F or 0x80 <= cp <= 0xA0 or cp == 0x1680 or
            0x2000 <= cp <= 0x200B or cp in (0x2028, 0x2029, 0x202F, 0x205F, 0x3000, 0xFEFF))

def word(text, value=False, limit=200):
    """The documented word rules (PROTOCOL.md), written independently."""
    out = bytearray()
    for ch in text:
        if len(out) >= limit:
            break
        cp = ord(ch)
        if blank(cp):
            out.append(0x5F)
        elif cp < 0x80 or 0xA1 <= cp <= 0xFF:
            out.append(cp)
        elif cp in CP1252_HIGH:
            out.append(CP1252_HIGH[cp])
        else:
            out.append(0x3F)
    if not out:
        return b"-"
    if value and out[:1] == b"-":
        out[0:1] = b"_"
    return bytes(out)

def wire_size(raw):
    return len(raw) + raw.count(b"\n") - raw.count(b"\r\n")

def line_count(raw):
    return raw.count(b"\n") + (1 if raw and not raw.endswith(b"\n") else 0)

def has_defects(msg):
    for part in msg.walk():
        if part.defects:
            return True
    return False

def decoded_name(part):
    name = part.get_filename()
    if name is None:
        return None
    try:
        return str(email.header.make_header(email.header.decode_header(name)))
    except Exception:
        return name

def expected(msg, out):
    maintype = msg.get_content_maintype()
    subtype = msg.get_content_subtype()
    charset = msg.get_param("charset")
    if charset is not None:
        charset = email.utils.collapse_rfc2231_value(charset)
    cte = (msg.get("content-transfer-encoding") or "").strip().split(";")[0].split()
    name = decoded_name(msg)
    row = [b"2002", word(maintype).lower(), word(subtype).lower(),
           word(charset).lower() if charset else b"-",
           word(cte[0]).lower() if cte else b"7bit",
           word(name, value=True) if name else b"-", None, None]
    out.append(row)
    if msg.is_multipart() and maintype == "multipart":
        for child in msg.get_payload():
            expected(child, out)
    elif msg.is_multipart() and maintype == "message" and subtype == "rfc822":
        for child in msg.get_payload():
            expected(child, out)
    elif not msg.is_multipart():
        # The payload as stored: get_payload() would decode 8-bit text by its charset.
        raw = msg._payload
        raw = raw.encode("ascii", "surrogateescape") if isinstance(raw, str) else bytes(raw or b"")
        row[6], row[7] = wire_size(raw), line_count(raw)
    if maintype == "multipart":
        out.append([b"2003"])
    elif maintype == "message":
        out.append([b"2004"])

class Client:
    def __init__(self, addr):
        self.s = socket.create_connection((addr, 999), timeout=30)
        self.f = self.s.makefile("rb")
    def send(self, text):
        self.s.sendall(text.encode("latin-1") + b"\r\n")
    def line(self):
        l = self.f.readline()
        if not l:
            raise SystemExit("server closed the connection")
        return l.rstrip(b"\r\n")
    def until_done(self):
        lines = []
        while True:
            l = self.line()
            lines.append(l)
            if l.startswith(b"1000"):
                return lines

def parse_mime(lines):
    rows = []
    for l in lines:
        f = l.split(b" ")
        if f[0] == b"2002":
            rows.append([b"2002"] + f[1:6] + [int(f[7]), int(f[9])])
        elif f[0] in (b"2003", b"2004"):
            rows.append([f[0]])
    return rows

def differs(got, want):
    if len(got) != len(want):
        return "%d lines, expected %d" % (len(got), len(want))
    for i, (g, w) in enumerate(zip(got, want)):
        for j, (a, b) in enumerate(zip(g, w)):
            if b is not None and a != b:
                return "line %d field %d: %r, expected %r" % (i + 1, j, a, b)
    return None

def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--server", required=True)
    ap.add_argument("--corpus", required=True)
    ap.add_argument("--mkstore", required=True)
    ap.add_argument("-v", action="store_true")
    args = ap.parse_args()
    sys.path.insert(0, os.path.dirname(args.mkstore))
    import mkstore
    files = mkstore.sources(args.corpus)
    if not files:
        sys.exit("no corpus in %s" % args.corpus)
    with tempfile.TemporaryDirectory(prefix="zelm-mimediff-") as tmp:
        store = os.path.join(tmp, "store")
        subprocess.run([sys.executable, args.mkstore, "flat", "--corpus", args.corpus,
                        "--out", store], check=True)
        addr = "127.%d.%d.%d" % (random.randint(20, 220), random.randint(1, 250), random.randint(2, 250))
        server = subprocess.Popen([args.server, "--root", store, "--listen", addr],
                                  stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        try:
            ready = server.stdout.readline()
            if b"serving" not in ready:
                sys.exit("server did not start: %r" % ready)
            c = Client(addr)
            c.line()
            for cmd in ("USER corpus", "MBOX INBOX", "FLAG 2147483648"):
                c.send(cmd)
                c.line()
            c.send("INFO")
            head = c.line()
            count = int(head.split()[1])
            for _ in range(count):
                c.line()
            c.line()
            if count != len(files):
                sys.exit("listed %d messages, corpus has %d" % (count, len(files)))
            compared = skipped = known = 0
            bad = []
            for k, path in enumerate(files, 1):
                rel = os.path.relpath(path, args.corpus)
                raw = mkstore.as_delivered(open(path, "rb").read())
                c.send("AINFO %d" % k)
                ainfo = c.line().split(b" ")
                total = wire_size(raw) + (2 if raw and not raw.endswith(b"\n") else 0)
                if ainfo[0] != b"2001" or int(ainfo[2]) != total:
                    bad.append((rel, "AINFO %r, expected total %d" % (b" ".join(ainfo), total)))
                c.send("MIME %d" % k)
                got = parse_mime(c.until_done())
                msg = email.message_from_bytes(raw, policy=email.policy.compat32)
                if has_defects(msg):
                    skipped += 1
                    if not got:
                        bad.append((rel, "no MIME answer"))
                    continue
                want = []
                expected(msg, want)
                why = differs(got, want)
                compared += 1
                if why and rel in EXPECTED_DIFFERENCES:
                    known += 1
                elif why:
                    bad.append((rel, why))
                elif rel in EXPECTED_DIFFERENCES:
                    print("note: %s now agrees; its table entry can go" % rel)
                if args.v:
                    print(rel, why or "ok")
            print("mime differential: %d messages, %d compared, %d agree, %d known differences, "
                  "%d skipped (parser defects), %d unexpected"
                  % (len(files), compared, compared - known - len([b for b in bad if b[0] not in EXPECTED_DIFFERENCES]),
                     known, skipped, len(bad)))
            for rel, why in bad:
                print("  DIFFERS %s: %s" % (rel, why))
            return 1 if bad else 0
        finally:
            server.terminate()
            server.wait(timeout=10)

if __name__ == "__main__":
    sys.exit(main())
