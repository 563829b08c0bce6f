#!/usr/bin/env python3
"""A gate in front of a POP3 server on loopback that stands in for the
network: open, it passes connections through; shut, nothing listens there
(a connection is refused, as with the network down); holding, it takes
connections and never answers (a check stays under way).

usage: gate.py TARGET_PORT COUNT_FILE
Prints its own port on the first line. SIGUSR1 shuts it, SIGUSR2 opens it,
SIGHUP makes it hold. Every connection taken is counted in COUNT_FILE.
"""
import signal
import socket
import sys
import threading

target_port = int(sys.argv[1])
count_file = sys.argv[2]
mode = "open"
taken = 0
listener = None
held = []
port = 0


def listen():
    global listener, port
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", port))
    port = listener.getsockname()[1]
    listener.listen(16)
    threading.Thread(target=accept, args=(listener,), daemon=True).start()


def pipe(source, sink):
    try:
        while data := source.recv(65536):
            sink.sendall(data)
    except OSError:
        pass
    for s in (source, sink):
        try:
            s.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass


def accept(sock):
    global taken
    while True:
        try:
            client, _ = sock.accept()
        except OSError:
            return  # shut
        taken += 1
        with open(count_file, "w") as f:
            f.write(f"{taken}\n")
        if mode == "hold":
            held.append(client)
            continue
        server = socket.create_connection(("127.0.0.1", target_port))
        threading.Thread(target=pipe, args=(client, server), daemon=True).start()
        threading.Thread(target=pipe, args=(server, client), daemon=True).start()


def shut(*_):
    global mode, listener
    mode = "shut"
    if listener:
        # Wakes the accepting thread and stops the listening at once; a close
        # alone would wait for that thread.
        listener.shutdown(socket.SHUT_RDWR)
        listener.close()
        listener = None
    while held:
        held.pop().close()


def reopen(*_):
    global mode
    mode = "open"
    while held:
        held.pop().close()
    if not listener:
        listen()


def hold(*_):
    global mode
    mode = "hold"


signal.signal(signal.SIGUSR1, shut)
signal.signal(signal.SIGUSR2, reopen)
signal.signal(signal.SIGHUP, hold)
with open(count_file, "w") as f:
    f.write("0\n")
listen()
print(port, flush=True)
while True:
    signal.pause()
