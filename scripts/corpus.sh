#!/usr/bin/env bash
# Real mail no one here wrote: the test messages that some Debian packages ship
# (a language's e-mail test data and two MIME libraries' samples). Fetched with
# apt-get download and unpacked with dpkg-deb -x (installing them would pull in
# toolchains), once, into build/corpus. Prints the folder holding the messages:
#   <corpus>/mail/<source>/<name>    one message per file, as shipped
# Mailbox files (*.mbx) are split into one file per message.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dest=${ZELM_CORPUS:-$root/build/corpus}
mail=$dest/mail
if [ -f "$dest/.complete" ]; then echo "$mail"; exit 0; fi

pkgs="libpython3.11-testsuite libmime-explode-perl golang-github-jhillyerd-enmime-dev"
mkdir -p "$dest/debs"
# apt's download helper runs as an unprivileged user; let it write here.
chmod 0777 "$dest/debs" 2>/dev/null || true
fetch() { (cd "$dest/debs" && apt-get download -q $pkgs) >&2; }
have() { for p in $pkgs; do ls "$dest/debs/${p}"_*.deb >/dev/null 2>&1 || return 1; done; }
if ! have; then
  # A fresh machine may not have package lists yet.
  fetch || { apt-get update -q >&2 && fetch; }
fi

rm -rf "$dest/x" "$mail"
mkdir -p "$dest/x"
for d in "$dest"/debs/*.deb; do dpkg-deb -x "$d" "$dest/x"; done

python3 - "$dest/x" "$mail" <<'PY'
import os, re, shutil, sys
x, mail = sys.argv[1], sys.argv[2]
sources = {
    "python": ("usr/lib/python3.11/test/test_email/data", re.compile(r"msg_.*\.txt$")),
    "enmime": ("usr/share/gocode/src/github.com/jhillyerd/enmime/testdata", re.compile(r".*\.raw$")),
    "explode": ("usr/share/doc/libmime-explode-perl/examples/testmsgs", re.compile(r".*\.(msg|mbx)$")),
}
total = 0
for name, (sub, pattern) in sources.items():
    out = os.path.join(mail, name)
    os.makedirs(out, exist_ok=True)
    top = os.path.join(x, sub)
    for dirpath, _, files in os.walk(top):
        for f in sorted(files):
            if not pattern.match(f):
                continue
            src = os.path.join(dirpath, f)
            stem = os.path.relpath(src, top).replace(os.sep, "-")
            data = open(src, "rb").read()
            if f.endswith(".mbx"):
                # One message per "From " line at the start of a line.
                pieces = re.split(rb"(?m)^(?=From )", data)
                pieces = [p for p in pieces if p.strip()]
                for i, p in enumerate(pieces, 1):
                    open(os.path.join(out, "%s.%d" % (stem, i)), "wb").write(p)
                    total += 1
            else:
                shutil.copyfile(src, os.path.join(out, stem))
                total += 1
print("corpus: %d messages" % total, file=sys.stderr)
PY
touch "$dest/.complete"
echo "$mail"
