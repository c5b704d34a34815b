#!/usr/bin/env python3
"""Random command lines against the real binary: every line must be answered, never crash
the process or hang it.

    tools/fuzz_protocol.py <quillane binary> [rounds] [seed] [lines per round]

Each round starts a fresh process, sets up a small river or turn spot (so that tree and
solver commands have something to act on), in half of the rounds leaves a solving run
going that only stop ends, then sends random lines: known command names
with random argument lists drawn from numbers (negative, huge, NaN, fractions), card
strings, node paths, player names and garbage, plus now and then a random byte string.
A round fails when the process ends on a signal, prints a sanitizer report, or does not
finish within its time limit. Failing rounds are written to fuzz-failures/ for replay
(`quillane < fuzz-failures/round-N.txt`). Exit status 1 when any round failed.
"""
import os
import random
import re
import subprocess
import sys

# Commands left out: those that end or pause the process, start other processes, open
# network connections or turn the process into a worker, and those that write files in
# the working directory. load_script and dump_tree are kept with paths under /tmp.
EXCLUDED = {
    "exit", "quit", "sleep", "take_a_break", "spawn", "connect_to_workers", "init_worker",
    "get_worker_data", "get_worker_strategy", "traverse_subgames", "stdoutredi",
    "stdoutredi_append", "stdoutback", "set_priority_class", "wait_for_solver",
}

NUMBERS = ["0", "1", "2", "3", "-1", "5", "16", "100", "4096", "1e9", "-1e9", "0.5", "nan",
           "inf", "-inf", "2147483648", "99999999999999999999", "0x10", "1e-300", "3.5"]
CARDS = ["As", "Kd", "2c", "Th", "Qs", "Jh", "2h", "8d", "3c", "Xx", "A", "AsKs", "1s"]
PATHS = ["r", "r:0", "r:0:c", "r:0:c:c", "r:0:b50", "r:0:c:c:5c", "r:0:c:c:c", "r:1",
         "r:0:c:b100:c", "r:0:f", "r:0:c:c:c:c", "r:0:c:c:2s:c", "r:0:99", ":", "r::"]
WORDS = ["OOP", "IP", "oop", "ip", "all", "steps", "none", "low", "max", "fast", "auto",
         "fake", "/tmp/qfuzz.bin", "/tmp/qfuzz_missing", "", "-", "#", "\"", "END"]


def RandomArgument(rng):
    pool = rng.choice([NUMBERS, CARDS, PATHS, WORDS])
    return rng.choice(pool)


def RandomLine(rng, commands):
    if rng.random() < 0.03:
        return bytes(rng.randrange(1, 256) for _ in range(rng.randrange(1, 40))).replace(
            b"\n", b" ")
    name, argc = rng.choice(commands)
    if argc < 0:
        count = rng.randrange(0, 6)
    else:  # mostly the right count, sometimes one off
        count = max(argc - 1 + rng.choice([0, 0, 0, 0, -1, 1]), 0)
    if count > 100:  # weight lists: numbers, now and then something else
        args = [rng.choice(NUMBERS[:6]) if rng.random() < 0.99 else RandomArgument(rng)
                for _ in range(count)]
    else:
        args = [RandomArgument(rng) for _ in range(count)]
    return (" ".join([name] + args)).encode()


def SpotSetup(rng):
    board = rng.choice(["Qs Jh 2h 8d 3c", "Qs Jh 2h 8d"])
    ranges = "set_range OOP " + " ".join(["1"] * 1326) + "\n" + \
             "set_range IP " + " ".join(["0.5"] * 1326) + "\n"
    river = ["0 0", "50 50", "0 50 50", "50 200 200", "0 50 200 200"]
    turn = ["0 0 0 0", "0 0 50 50", "50 50 0 0", "50 50 100 100", "0 0 0 50 50", "50 200 200"]
    lines = ["set_board " + board, ranges.strip(), "set_pot 0 0 100", "set_eff_stack 200",
             "clear_lines"]
    lines += ["add_line " + line for line in (river if board.count(" ") == 4 else turn)]
    lines += ["build_tree", "set_threads 2", "go 3 steps"]
    if rng.random() < 0.5:  # the random lines then meet a live run that only stop ends
        lines += ["wait_for_solver", "set_accuracy 0", "go"]
    return ("\n".join(lines) + "\n").encode()


def CommandList():
    """(name, token count with the name or -1 for any) of every row of the command table."""
    table = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "cli",
                         "command_table.cpp")
    rows = re.findall(r'\{"([a-z0-9_]+)",\s*\w+,\s*(-?\d+)', open(table).read())
    return [(name, int(count)) for name, count in rows if name not in EXCLUDED]


def RunRound(binary, rng, commands, lines):
    script = SpotSetup(rng) + b"\n".join(RandomLine(rng, commands) for _ in range(lines))
    script += b"\nstop\nwait_for_solver\nexit\n"
    try:
        run = subprocess.run([binary], input=script, capture_output=True, timeout=120)
    except subprocess.TimeoutExpired:
        return script, "timed out"
    if run.returncode < 0:
        return script, f"ended on signal {-run.returncode}"
    if b"Sanitizer" in run.stderr or b"runtime error" in run.stderr:
        return script, "sanitizer report: " + run.stderr.decode(errors="replace")[:2000]
    return script, None


def main():
    binary = sys.argv[1]
    rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 20
    seed = int(sys.argv[3]) if len(sys.argv) > 3 else 1
    lines = int(sys.argv[4]) if len(sys.argv) > 4 else 200
    rng = random.Random(seed)
    commands = CommandList()
    if len(commands) < 50:
        print(f"only {len(commands)} commands read from the command table", file=sys.stderr)
        return 1
    failed = 0
    for index in range(rounds):
        script, problem = RunRound(binary, rng, commands, lines)
        if problem:
            failed += 1
            os.makedirs("fuzz-failures", exist_ok=True)
            path = f"fuzz-failures/round-{seed}-{index}.txt"
            with open(path, "wb") as f:
                f.write(script)
            print(f"round {index}: {problem.splitlines()[0]} ({path})")
    print(f"{rounds - failed} of {rounds} rounds passed ({len(commands)} commands, seed {seed})")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
