#!/usr/bin/env python3
"""A one-connection POP3 server on loopback for pingbox-check's tests.
Prints its port, then plays one script:
  silent   accepts and never greets
  unasked  greets, answers CAPA, and sends a reply nobody asked for
"""
import socket
import sys

mode = sys.argv[1]
server = socket.socket()
server.bind(("127.0.0.1", 0))
server.listen(1)
print(server.getsockname()[1], flush=True)
server.settimeout(60)
conn, _ = server.accept()
conn.settimeout(60)
if mode == "unasked":
    conn.sendall(b"+OK ready\r\n")
    line = b""
    while not line.endswith(b"\n"):
        line += conn.recv(1) or b"\n"
    conn.sendall(b"+OK\r\nUSER\r\n.\r\n+OK surprise\r\n")
try:
    while conn.recv(4096):
        pass
except OSError:
    pass
