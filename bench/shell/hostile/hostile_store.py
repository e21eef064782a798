#!/usr/bin/env python3
"""A store that breaks its answers on purpose, for measuring the shell by hand.

    hostile_store.py ADDRESS MODE

Listens on ADDRESS:999 and serves one client at a time: the greeting, a user
list (alice and a user whose name is too long to send), alice's mailboxes,
an INBOX of two messages and their details, except for the one answer that
MODE breaks:

    drip-show    alice's SHOW: "2002", then "2001 " and 4,435 bytes, one per 20 ms
    drip-repair  REPAIR: started, then a progress line dripping one byte per 20 ms
    endless-capa CAPA lines without end
    endless-users ULIST lines without end
    endless-show  alice's SHOW lines without end
    endless-info  INFO announcing 2,097,152 messages, then message lines without end
    count-33bit  INFO announcing 4294967297 messages
    endless-body AINFO says 100 bytes; BODY announces 10^20 and never ends
    bad-ainfo    AINFO "2001 1 10950" (does not scan); BODY/BRAW of 10,950 bytes

Prints, flushed, one line per event with the seconds since the broken answer
began: "begin", "client closed after N bytes", "QUIT".
"""
import socket
import sys
import threading
import time

LONG_USER = "L" * 1015
INBOX = ("2002 2 messages\r\n"
         "1 912 0 7 1700000000 bob@example.org Hello 310\r\n"
         "2 1204 1 8 1700000100 carol@example.org Agenda 402\r\n"
         "1000 end of messages\r\n")
BODY = "".join("%s\r\n" % ("x" * 98) for _ in range(109)) + "y" * 48 + "\r\n"  # 10,950 bytes


class Session:
    def __init__(self, sock, mode):
        self.sock, self.mode = sock, mode
        self.begun = None
        self.sent = 0
        self.buf = b""

    def log(self, what):
        t = time.monotonic() - self.begun if self.begun else 0.0
        print("%8.2f s  %s" % (t, what), flush=True)

    def send(self, text):
        data = text.encode("latin-1") if isinstance(text, str) else text
        self.sock.sendall(data)
        self.sent += len(data)

    def begin(self):
        self.begun = time.monotonic()
        self.sent = 0
        self.log("begin " + self.mode)

    def endless(self, line):
        block = (line * (65536 // len(line) + 1)).encode("latin-1")
        try:
            while True:
                self.send(block)
        except OSError:
            self.log("client closed after %d bytes" % self.sent)
            self.watch_quit()

    def drip(self, head, count):
        self.send(head)
        try:
            for _ in range(count):
                self.send(b"d")
                time.sleep(0.02)
            self.log("drip ended without the client closing")
        except OSError:
            self.log("client closed after %d bytes" % self.sent)

    def watch_quit(self):
        self.sock.settimeout(2)
        try:
            rest = self.sock.recv(4096)
            if b"QUIT" in rest:
                self.log("QUIT")
        except OSError:
            pass

    def lines(self):
        while True:
            while b"\n" not in self.buf:
                try:
                    got = self.sock.recv(4096)
                except OSError:
                    return
                if not got:
                    if self.begun:
                        self.log("client closed")
                    return
                self.buf += got
            line, self.buf = self.buf.split(b"\n", 1)
            yield line.rstrip(b"\r").decode("latin-1")

    def run(self):
        m = self.mode
        self.send("1000 ready\r\n")
        for line in self.lines():
            cmd = line.split(" ")[0].upper()
            arg = line[len(cmd) + 1:]
            if "QUIT" in line and self.begun:
                self.log("QUIT")
            if cmd == "ULIST":
                if m == "endless-users":
                    self.begin()
                    self.endless("2001 user\r\n")
                    return
                self.send("2001 alice\r\n2001 %s\r\n1000 2 users\r\n" % LONG_USER)
            elif cmd in ("RSET", "USER", "MBOX", "FLAG", "STOP"):
                self.send("1000 ok\r\n")
            elif cmd == "SHOW":
                if m == "drip-show":
                    self.begin()
                    self.drip("2002 1 mailboxes\r\n2001 ", 4435)
                    return
                if m == "endless-show":
                    self.send("2002 many\r\n")
                    self.begin()
                    self.endless("2001 box\r\n")
                    return
                self.send("2002 2 mailboxes\r\n2001 INBOX\r\n2001 Sent\r\n1000 end\r\n")
            elif cmd == "SPACE":
                self.send("1000 120 0\r\n")
            elif cmd == "STAT":
                self.send("1000 INBOX 2 2116 1 1204\r\n")
            elif cmd == "INFO":
                if m == "endless-info":
                    self.send("2002 2097152 messages\r\n")
                    self.begin()
                    self.endless("9 912 0 7 1700000000 bob@example.org Hello 310\r\n")
                    return
                if m == "count-33bit":
                    self.begin()
                    self.send("2002 4294967297 messages\r\n" + INBOX.split("\r\n", 1)[1])
                    continue
                self.send(INBOX)
            elif cmd == "CAPA":
                if m == "endless-capa":
                    self.begin()
                    self.endless("2001 capability without end\r\n")
                    return
                self.send("2001 MIME\r\n2001 BRAW\r\n2001 REPAIR\r\n1000 end\r\n")
            elif cmd == "CONF":
                self.send("2001 Port:999\r\n1000 end\r\n")
            elif cmd == "AINFO":
                if m == "bad-ainfo":
                    self.begin()
                    self.send("2001 1 10950\r\n")
                else:
                    self.send("2001 %s 400 300 100 0 9f3a 7 0 bob@example.org\r\n" % arg)
            elif cmd == "MIME":
                self.send("2002 text plain us-ascii 7bit - 0 100 0 1\r\n1000 end\r\n")
            elif cmd == "HEAD":
                self.send("2020 header\r\nFrom: bob@example.org\r\nSubject: Hello\r\n1000 end\r\n")
            elif cmd in ("BODY", "BRAW"):
                if m == "endless-body":
                    self.send("2021 100000000000000000000\r\n")
                    self.begin()
                    self.endless("a line of the body that never ends\r\n")
                    return
                want = len(BODY)
                if cmd == "BRAW":
                    want = min(want, int(arg.split(" ")[2]))
                self.log("%s asked: sending %d bytes" % (line, want))
                self.send("%d %d bytes\r\n" % (2025 if cmd == "BRAW" else 2021, want))
                self.send(BODY[:want] + "1000 end\r\n")
            elif cmd == "REPAIR":
                self.send("2002 1 mailboxes\r\n2030 0\talice\tINBOX\tchecking the index\r\n")
                if m == "drip-repair":
                    self.begin()
                    self.drip("2030 1\talice\tINBOX\t", 4000)
                    return
                self.send("1000 done 1 0 0\r\n")
            else:
                self.send("4000 unknown command\r\n")


def main():
    address, mode = sys.argv[1], sys.argv[2]
    server = socket.socket()
    server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    server.bind((address, 999))
    server.listen(4)
    print("serving %s on %s:999" % (mode, address), flush=True)
    while True:
        client, _ = server.accept()
        client.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        session = Session(client, mode)
        threading.Thread(target=lambda: (session.run(), client.close()), daemon=True).start()


if __name__ == "__main__":
    main()
