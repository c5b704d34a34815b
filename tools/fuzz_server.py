#!/usr/bin/env python3
"""Damaged traffic against a server: the server must stay up and keep answering.

    tools/fuzz_server.py <quillane binary> <port> [rounds] [seed]

Starts `quillane --server --port <port>` in the working directory, then per round opens a
connection and sends one to five pieces: frames of every type byte (file and block frames
with random data, sometimes with a wrong text length), frames cut short, bare headers
announcing 0 bytes up to the largest 64-bit length, and random bytes. After each round a
fresh connection must get a reply to `is_ready`. Exit status 1 when the server died, a
round's check failed, or the server's standard error holds a sanitizer report.
"""
import random
import socket
import struct
import subprocess
import sys
import time

TEXTS = [b"is_ready", b"set_value a 1", b"get_value a", b"show_settings", b"set_board Qs Jh 2h",
         b"echo hi", b"help", b"show_node r", b"calc_results", b"go", b"stop", b"dump_tree",
         b"load_tree quillane_temp", b"", b"\x00\xff", b"a" * 10000]
LENGTHS = [0, 1, 2**63, 2**64 - 1, 64 << 20, (64 << 20) + 1]


def Frame(kind, payload):
    return bytes([kind]) + struct.pack("<Q", len(payload)) + payload


def Receive(sock, count):
    data = b""
    while len(data) < count:
        chunk = sock.recv(count - len(data))
        if not chunk:
            raise ConnectionError("server closed the connection")
        data += chunk
    return data


def Ask(port, text):
    with socket.create_connection(("127.0.0.1", port), timeout=30) as sock:
        sock.sendall(Frame(1, text))
        length = struct.unpack("<Q", Receive(sock, 9)[1:])[0]
        return Receive(sock, length)


def RandomPiece(rng):
    choice = rng.random()
    if choice < 0.5:
        kind = rng.choice([1, 1, 1, 3, 4, 0, 2, 5, 255])
        text = rng.choice(TEXTS)
        payload = text
        if kind in (3, 4):
            data = bytes(rng.randrange(256) for _ in range(rng.randrange(200)))
            length = len(text) if rng.random() < 0.7 else rng.randrange(2**32)
            payload = data + struct.pack("<I", length) + text
        frame = Frame(kind, payload)
        return frame[:rng.randrange(len(frame))] if rng.random() < 0.2 else frame
    if choice < 0.7:
        length = rng.choice(LENGTHS + [rng.randrange(2**40)])
        return bytes([rng.randrange(256)]) + struct.pack("<Q", length)
    return bytes(rng.randrange(256) for _ in range(rng.randrange(1, 50)))


def SendRound(port, rng):
    try:
        with socket.create_connection(("127.0.0.1", port), timeout=5) as sock:
            for _ in range(rng.randrange(1, 6)):
                sock.sendall(RandomPiece(rng))
                sock.settimeout(0.2)
                try:
                    sock.recv(65536)
                except (socket.timeout, ConnectionError):
                    pass
    except (BrokenPipeError, ConnectionResetError):
        pass  # the server closes connections whose frames it refuses


def main():
    binary, port = sys.argv[1], int(sys.argv[2])
    rounds = int(sys.argv[3]) if len(sys.argv) > 3 else 200
    rng = random.Random(int(sys.argv[4]) if len(sys.argv) > 4 else 1)
    server = subprocess.Popen([binary, "--server", "--port", str(port)],
                              stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                              stderr=subprocess.PIPE)
    time.sleep(1)
    failures = 0
    for index in range(rounds):
        SendRound(port, rng)
        if server.poll() is not None:
            print(f"round {index}: the server ended with {server.returncode}")
            failures += 1
            break
        try:
            reply = Ask(port, b"is_ready")
            if not reply:
                raise ConnectionError("empty reply to is_ready")
        except (OSError, ConnectionError) as error:
            print(f"round {index}: is_ready failed: {error}")
            failures += 1
    server.kill()
    errors = server.stderr.read()
    if b"Sanitizer" in errors:
        print(errors[-3000:].decode(errors="replace"))
        failures += 1
    print(f"{rounds} rounds, {failures} failures (seed {sys.argv[4] if len(sys.argv) > 4 else 1})")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
