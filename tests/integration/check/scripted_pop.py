#!/usr/bin/env python3
"""A one-connection POP3 server on loopback for pingbox-check's tests.
Prints its port, then plays one script:
  silent   accepts and never greets
  unasked  greets, answers CAPA, and sends a reply nobody asked for
  mute-quit  a whole session for any login, but no answer to QUIT
  blackhole-dns, connect-proxy: see below
"""
import random
import socket
import sys
import threading

mode = sys.argv[1]

if mode == "blackhole-dns":
    # A name server on port 53 of a free loopback address that reads every
    # query and never answers; prints the address.
    dns = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    for _ in range(100):
        address = "127.53.%d.%d" % (random.randrange(256), random.randrange(1, 255))
        try:
            dns.bind((address, 53))
            break
        except OSError:
            continue
    print(address, flush=True)
    while True:
        dns.recvfrom(4096)

if mode == "connect-proxy":
    # An HTTP CONNECT proxy for one tunnel to loopback; prints the request
    # line it was given on its second line of output.
    proxy = socket.socket()
    proxy.bind(("127.0.0.1", 0))
    proxy.listen(1)
    print(proxy.getsockname()[1], flush=True)
    proxy.settimeout(60)
    client, _ = proxy.accept()
    request = b""
    while b"\r\n\r\n" not in request:
        chunk = client.recv(1)
        if not chunk:
            sys.exit(1)
        request += chunk
    line = request.split(b"\r\n")[0].decode()
    print(line, flush=True)
    host, port = line.split()[1].rsplit(":", 1)
    if host not in ("localhost", "127.0.0.1"):
        client.sendall(b"HTTP/1.1 403 Forbidden\r\n\r\n")
        sys.exit(1)
    upstream = socket.create_connection(("127.0.0.1", int(port)))
    client.sendall(b"HTTP/1.1 200 Connection established\r\n\r\n")

    def pump(source, sink):
        try:
            while data := source.recv(4096):
                sink.sendall(data)
        except OSError:
            pass
        for s in (source, sink):
            try:
                s.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass

    threading.Thread(target=pump, args=(upstream, client), daemon=True).start()
    pump(client, upstream)
    sys.exit(0)

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
if mode == "mute-quit":
    # A whole session, but QUIT is never answered.
    conn.sendall(b"+OK ready\r\n")
    replies = {b"CAPA": b"+OK\r\nUSER\r\n.\r\n", b"USER": b"+OK\r\n", b"PASS": b"+OK\r\n",
               b"STAT": b"+OK 2 20\r\n"}
    pending = b""
    while b"QUIT" not in pending:
        chunk = conn.recv(4096)
        if not chunk:
            break
        pending += chunk
        while b"\r\n" in pending and not pending.startswith(b"QUIT"):
            line, pending = pending.split(b"\r\n", 1)
            conn.sendall(replies.get(line.split(b" ")[0], b"-ERR\r\n"))
try:
    while conn.recv(4096):
        pass
except OSError:
    pass
