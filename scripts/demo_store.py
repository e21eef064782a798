#!/usr/bin/env python3
"""A tiny scripted message store for the first demo: answers the store
protocol from a fixed table so the client can be shown end to end."""
import socketserver, sys

BODY = ["Hello Alice,", "", "the quarterly report is attached.", "-- Bob"]
REPLIES = {
    "ULIST": ["2001 alice", "2001 bob", "1000 end of users"],
    "RSET": ["1000 reset"], "USER": ["1000 user selected"], "RSET MBOX": ["1000 reset"],
    "SHOW": ["2002 mailboxes", "2002 INBOX", "2002 Archive/", "2002 Archive/2025", "1000 end"],
    "MBOX": ["1000 mailbox selected"], "FLAG": ["1000 ok"],
    "INFO": ["2002 2 messages", "1 812 1 0 0 - Quarterly-report 0", "2 455 0 0 0 - Lunch 0", "1000 end"],
    "SPACE": ["1000 120 10240"], "STAT": ["1000 INBOX 2 1267 1 455"],
    "AINFO": ["2001 1 812 402 410 129 5d41402a 1001 0 bob@example.org"],
    "MIME": ["2002 multipart mixed - 7bit - 0 410 0 14", "2002 text plain us-ascii 7bit - 0 90 0 4",
             "2002 application pdf - base64 report.pdf 0 200 0 3", "2003 end", "1000 end"],
    "HEAD": ["2020 header follows", "From: bob@example.org", "To: alice@example.org",
             "Subject: Quarterly report", "1000 end"],
}

class Store(socketserver.StreamRequestHandler):
    def handle(self):
        self.wfile.write(b"1000 ZELM demo store ready\r\n")
        for raw in self.rfile:
            line = raw.decode("latin-1").strip()
            word = "RSET MBOX" if line.startswith("RSET MBOX") else line.split(" ")[0]
            if word == "QUIT":
                return
            if word in ("BODY", "BRAW"):
                text = "".join(l + "\r\n" for l in BODY)
                out = ["2021 %d" % len(text)] + BODY + ["1000 end"]
            else:
                out = REPLIES.get(word, ["4000 unknown command"])
            self.wfile.write("".join(l + "\r\n" for l in out).encode("latin-1"))

socketserver.TCPServer.allow_reuse_address = True
with socketserver.TCPServer((sys.argv[1] if len(sys.argv) > 1 else "127.0.0.1", 999), Store) as s:
    s.serve_forever()
