#!/usr/bin/env python3
"""Builds message stores (a folder of users' Maildirs) for the server's demo,
its end-to-end test, the MIME differential check and the benchmark.

  mkstore.py flat   --corpus DIR --out STORE [--user NAME] [--count N]
      one user whose INBOX holds the corpus messages in a fixed order
      (message k of a listing is the k-th file of sources(DIR)); with --count,
      N messages cycling through the corpus
  mkstore.py demo   --corpus DIR --out STORE
      a few users, several mailboxes with a hierarchy, read, unread, answered
      and flagged messages, all real mail from the corpus
  mkstore.py sample --out STORE
      a small store of messages written here, for tests that check exact values
"""
import argparse, os, re, shutil, sys

def sources(corpus):
    """Corpus message files in a stable order."""
    out = []
    for dirpath, _, files in os.walk(corpus):
        for f in files:
            out.append(os.path.join(dirpath, f))
    return sorted(out)

def as_delivered(data):
    """A message as a delivery agent stores it: without an mbox "From " line."""
    if data.startswith(b"From "):
        nl = data.find(b"\n")
        data = data[nl + 1:] if nl >= 0 else b""
    return data

def maildir(path):
    for sub in ("cur", "new", "tmp"):
        os.makedirs(os.path.join(path, sub), exist_ok=True)
    return path

def deliver(box, seq, data, flags=None, when=1700000000):
    """Writes one message. flags None: unseen, in new/; else the info letters in cur/."""
    name = "%d.M%dP1.zelm,S=%d" % (when + seq, seq, len(data))
    if flags is None:
        path = os.path.join(box, "new", name)
    else:
        path = os.path.join(box, "cur", name + ":2," + "".join(sorted(flags)))
    with open(path, "wb") as f:
        f.write(data)

def fresh(out):
    if os.path.islink(out) or os.path.isfile(out):
        os.remove(out)  # a link left by hand, dangling or not
    elif os.path.exists(out):
        shutil.rmtree(out)
    os.makedirs(out)

def flat(args):
    fresh(args.out)
    box = maildir(os.path.join(args.out, args.user))
    files = sources(args.corpus)
    if not files:
        sys.exit("mkstore: no messages in %s" % args.corpus)
    messages = [as_delivered(open(p, "rb").read()) for p in files]
    count = args.count or len(messages)
    for i in range(count):
        # Every third message read, every seventh answered, as mailboxes look.
        flags = None if i % 3 == 2 else "S" + ("R" if i % 7 == 0 else "")
        deliver(box, i, messages[i % len(messages)], flags, when=1000000000)

def demo(args):
    fresh(args.out)
    files = sources(args.corpus)
    pick = {os.path.relpath(p, args.corpus): p for p in files}
    def load(rel):
        return as_delivered(open(pick[rel], "rb").read())
    layout = {
        "alice": {
            "": [("python/msg_02.txt", "S"), ("enmime/mail-mime-mixed.raw", "SF"),
                 ("enmime/mail-attachment.raw", None), ("python/msg_07.txt", "RS"),
                 ("explode/multi-nested.msg", None), ("enmime/mail-html-mime-inline.raw", "S")],
            ".Sent": [("python/msg_01.txt", "S"), ("python/msg_03.txt", "S")],
            ".Projects": [("enmime/mail-mime-alternative.raw", "S")],
            ".Projects.2024": [("explode/multi-digest.msg", "S"), ("python/msg_16.txt", None)],
            ".Projects.2025.Drafts": [("enmime/mail-non-mime.raw", "D")],
        },
        "bob": {
            "": [("explode/rfc822.msg", None), ("explode/german.msg", "S"),
                 ("enmime/mail-qp-utf8-header.raw", "S"), ("python/msg_45.txt", "SF")],
            ".Archive": [("python/msg_10.txt", "S"), ("explode/multi-2gifs.msg", "ST")],
        },
        "carol": {
            "": [("enmime/mail-attachment-only.raw", None)],
        },
    }
    seq = 0
    for user, boxes in layout.items():
        for folder, messages in boxes.items():
            box = maildir(os.path.join(args.out, user, folder))
            for rel, flags in messages:
                deliver(box, seq, load(rel), flags)
                seq += 1

SAMPLE = [
    # (mailbox folder, flags, message)
    ("", "S", b"From: Alice Example <alice@example.org>\r\nTo: bob@example.org\r\n"
              b"Subject: Quarterly report\r\nDate: Mon, 6 Jan 2025 09:30:00 +0000\r\n"
              b"MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"sep\"\r\n\r\n"
              b"--sep\r\nContent-Type: text/plain; charset=us-ascii\r\n\r\n"
              b"Hello Bob,\r\nthe report is attached.\r\n"
              b"--sep\r\nContent-Type: image/gif; name=\"chart.gif\"\r\n"
              b"Content-Transfer-Encoding: base64\r\n\r\nR0lGODlhAQABAAAAACw=\r\n--sep--\r\n"),
    ("", None, b"From: carol@example.net\nSubject: Lunch\nX-Priority: 1\n\n"
               b"Noon at the usual place?\n.and a line with a leading dot\n"),
    ("", "RS", b"From: dan@example.com\nSubject: Long body\n\n" + b"".join(
        b"line %04d of a body longer than the shell shows at once\n" % i for i in range(200))),
    (".Archive", "S", b"From: erin@example.org\nSubject: Old news\n\nkept for the record\n"),
    (".Archive.2024", "S", b"From: frank@example.org\nSubject: Last year\n\nx\n"),
    (".Trash", "ST", b"From: spam@example.biz\nSubject: Win\n\nno\n"),
]

def sample(args):
    fresh(args.out)
    for i, (folder, flags, data) in enumerate(SAMPLE):
        deliver(maildir(os.path.join(args.out, "alice", folder)), i, data, flags)
    deliver(maildir(os.path.join(args.out, "bob")), 99, b"Subject: hi\n\nfrom bob's INBOX\n", "S")

def main():
    p = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    p.add_argument("kind", choices=["flat", "demo", "sample"])
    p.add_argument("--corpus")
    p.add_argument("--out", required=True)
    p.add_argument("--user", default="corpus")
    p.add_argument("--count", type=int, default=0)
    args = p.parse_args()
    if args.kind in ("flat", "demo") and not args.corpus:
        p.error("--corpus is needed")
    {"flat": flat, "demo": demo, "sample": sample}[args.kind](args)

if __name__ == "__main__":
    main()
