#!/usr/bin/env python3
"""A stand-in worker for the master's tests: speaks the server framing on 127.0.0.1,
answers every command with "<command> ok!", and writes each text it receives as one line
to its log. Usage: stand_in_worker.py LOG PORT_FILE [MASTER_OUTPUT]

A traverse_subgames request is answered with a block of bytes that mean nothing, as a
broken worker would send.

It listens on a free port and writes the port to PORT_FILE. With MASTER_OUTPUT, a
set_board line is held for half a second before it is answered, and the log records
whether the master had already printed "set_board ok!" when the line arrived and when
the answer went out: a master that forwards before it runs a line has printed neither.
It serves one connection and ends when the master closes it, or after 60 seconds."""
import os
import socket
import struct
import sys
import time


def read_exactly(conn, size):
    data = b""
    while len(data) < size:
        chunk = conn.recv(size - len(data))
        if not chunk:
            raise EOFError
        data += chunk
    return data


def read_message(conn):
    header = read_exactly(conn, 9)
    kind, first = header[0], struct.unpack("<Q", header[1:])[0]
    if kind in (3, 4):
        read_exactly(conn, first)
        length = struct.unpack("<I", read_exactly(conn, 4))[0]
        return read_exactly(conn, length).decode()
    return read_exactly(conn, first).decode()


def master_confirmed(path):
    try:
        with open(path) as f:
            return "set_board ok!" in f.read()
    except OSError:
        return False


def main():
    log_path, port_file = sys.argv[1], sys.argv[2]
    master_output = sys.argv[3] if len(sys.argv) > 3 else None
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.bind(("127.0.0.1", 0))
    listener.listen(1)
    listener.settimeout(60)
    with open(port_file + ".tmp", "w") as f:
        f.write(str(listener.getsockname()[1]))
    os.rename(port_file + ".tmp", port_file)
    conn, _ = listener.accept()
    conn.settimeout(60)
    with open(log_path, "a", buffering=1) as log:
        try:
            while True:
                text = read_message(conn)
                log.write(text + "\n")
                word = text.split(" ")[0] if text else ""
                if master_output and word == "set_board":
                    before = master_confirmed(master_output)
                    time.sleep(0.5)
                    after = master_confirmed(master_output)
                    log.write("master had confirmed: %s %s\n" % (before, after))
                reply = (word + " ok!\n").encode()
                if word == "traverse_subgames":
                    block = bytes(range(200))
                    conn.sendall(bytes([4]) + struct.pack("<Q", len(block)) + block +
                                 struct.pack("<I", len(reply)) + reply)
                else:
                    conn.sendall(bytes([1]) + struct.pack("<Q", len(reply)) + reply)
        except (EOFError, OSError):
            pass


main()
