#!/usr/bin/env python3
"""Recompute a solve's figures from the outside: EVs, best responses and exploitability
from the printed strategies alone, with a hand evaluator and game rules written here.

    tools/check_best_response.py <quillane binary> <setup script> [iterations] [threads]

The script sets up a river or turn spot and builds the tree (build/quillane-spot writes
one from a spot file); a `set_rake` line in it is modelled too. The program solves the given number of iterations; this tool then
walks the tree through show_children, reads every decision's strategy with show_strategy,
the ranges with show_range, and computes for both players the expected value under the
printed strategies and the value of a best response against them, exactly, over every
river card. It prints both sets of figures and fails (exit 1) when calc_results' figures
differ from the recomputed ones by more than the tolerance (0.002 chips plus float noise
relative to the pot), or when any decision's strategy for an in-range combo does not sum
to 1.

Values follow the program's convention: a player's value is its share of the final pot
minus what it put in beyond the starting pot, so the two players' values add up to the
starting pot; the expected value weighs every pair of non-conflicting combos by the
product of the two range weights.
"""
import itertools
import subprocess
import sys

RANKS = "23456789TJQKA"
SUITS = "cdhs"


def CardIndex(text):
    return RANKS.index(text[0]) * 4 + SUITS.index(text[1])


def HandStrength(cards):
    """A tuple that orders 7-card (or 5- and 6-card) hands: category, then ranks."""
    ranks = sorted((c // 4 for c in cards), reverse=True)
    counts = {r: ranks.count(r) for r in set(ranks)}
    by_count = sorted(counts.items(), key=lambda rc: (rc[1], rc[0]), reverse=True)
    suits = [c % 4 for c in cards]
    flush_suit = next((s for s in range(4) if suits.count(s) >= 5), None)

    def Straight(rank_set):
        wheel = {12, 0, 1, 2, 3}
        for high in range(12, 3, -1):
            if all(r in rank_set for r in range(high - 4, high + 1)):
                return high
        return 3 if wheel <= rank_set else None

    if flush_suit is not None:
        flush_ranks = sorted((c // 4 for c in cards if c % 4 == flush_suit), reverse=True)
        high = Straight(set(flush_ranks))
        if high is not None:
            return (8, high)
    if by_count[0][1] == 4:
        kicker = max(r for r in ranks if r != by_count[0][0])
        return (7, by_count[0][0], kicker)
    if by_count[0][1] == 3 and len(by_count) > 1 and by_count[1][1] >= 2:
        return (6, by_count[0][0], by_count[1][0])
    if flush_suit is not None:
        return (5,) + tuple(flush_ranks[:5])
    high = Straight(set(ranks))
    if high is not None:
        return (4, high)
    if by_count[0][1] == 3:
        kickers = [r for r in ranks if r != by_count[0][0]][:2]
        return (3, by_count[0][0]) + tuple(kickers)
    if by_count[0][1] == 2 and by_count[1][1] == 2:
        pair_high, pair_low = by_count[0][0], by_count[1][0]
        kicker = max(r for r in ranks if r not in (pair_high, pair_low))
        return (2, pair_high, pair_low, kicker)
    if by_count[0][1] == 2:
        kickers = [r for r in ranks if r != by_count[0][0]][:3]
        return (1, by_count[0][0]) + tuple(kickers)
    return (0,) + tuple(ranks[:5])


class Program:
    """The solver as a subprocess, one command at a time (an echo marks each reply's end)."""

    def __init__(self, binary):
        self.process = subprocess.Popen([binary], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        text=True, bufsize=1)
        self.process.stdout.readline()  # banner

    def Ask(self, line):
        self.process.stdin.write(line + "\necho @@end@@\n")
        self.process.stdin.flush()
        reply = []
        while True:
            text = self.process.stdout.readline()
            if not text:
                raise RuntimeError(f"program ended during '{line[:60]}'")
            text = text.rstrip("\n")
            if text == "@@end@@":
                return reply
            reply.append(text)

    def Close(self):
        self.process.stdin.write("exit\n")
        self.process.stdin.close()
        self.process.wait(timeout=60)


class Node:
    def __init__(self, path, kind, board, amounts, child_count):
        self.path = path
        self.kind = kind
        self.board = [CardIndex(board[i:i + 2]) for i in range(0, len(board), 3)]
        self.amounts = amounts  # OOP's and IP's totals beyond the starting pot
        self.child_count = child_count
        self.children = []
        self.strategy = None  # per action, 1326 frequencies in hand order


def ParseBlocks(lines):
    """Node blocks of show_node / show_children: path, kind, board, amounts, count, flags."""
    blocks = []
    i = 0
    while i < len(lines):
        if lines[i].startswith("child ") or lines[i] == "END":
            i += 1
            continue
        path, kind, board, amounts, count = lines[i:i + 5]
        numbers = amounts.split()
        blocks.append(Node(path, kind, board, (int(numbers[0]), int(numbers[1])),
                           int(count.split()[0])))
        pot = int(numbers[2])
        i += 6
    return blocks, pot


def ReadTree(program, path):
    """The subtree at 'path' with every strategy, and the starting pot."""
    blocks, pot = ParseBlocks(program.Ask("show_node " + path))
    ExpandNode(program, blocks[0])
    return blocks[0], pot


def ExpandNode(program, node):
    if node.kind in ("OOP_DEC", "IP_DEC"):
        lines = [l for l in program.Ask("show_strategy " + node.path) if l != "END"]
        node.strategy = [[float(x) for x in line.split()] for line in lines]
    if node.kind == "END_NODE" or (node.kind == "SPLIT_NODE" and len(node.board) == 5):
        return
    children, _ = ParseBlocks(program.Ask("show_children " + node.path))
    node.children = children
    for child in children:
        ExpandNode(program, child)


def Terminal(node, parent):
    """('fold', folder) or ('showdown',) for a node that ends the hand."""
    if node.kind == "END_NODE":
        if node.path.endswith(":f"):
            return ("fold", 0 if parent.kind == "OOP_DEC" else 1)
        return ("showdown",)
    if node.kind == "SPLIT_NODE" and len(node.board) == 5:
        return ("showdown",)
    return None


class Game:
    def __init__(self, pot, ranges, hand_order, rake=(0.0, 0.0)):
        self.pot = pot
        self.ranges = ranges
        self.rake = rake  # fraction and cap of set_rake; on when both are non-zero
        self.combos = [(CardIndex(h[0:2]), CardIndex(h[2:4])) for h in hand_order]
        self.strength_cache = {}

    def Strengths(self, board):
        key = tuple(sorted(board))
        if key not in self.strength_cache:
            self.strength_cache[key] = [
                None if a in board or b in board else HandStrength(list(board) + [a, b])
                for a, b in self.combos]
        return self.strength_cache[key]

    def RakeRate(self, stake):
        fraction, cap = self.rake
        if fraction == 0 or cap <= 0 or stake <= 0:
            return 0.0
        return cap / (2 * stake) if 2 * stake * fraction > cap else fraction

    def TerminalValues(self, node, terminal, player, opponent_reach):
        """Per combo of 'player': sum over opponent combos of reach x payoff."""
        me, other = node.amounts[player], node.amounts[1 - player]
        # The stake: half the starting pot plus what the loser put in (the folder's total
        # at a fold). The rake takes min(fraction x 2 stake, cap) from the winner's pot.
        stake = self.pot / 2 + (node.amounts[terminal[1]] if terminal[0] == "fold" else me)
        rate = self.RakeRate(stake)
        win = self.pot / 2 + stake * (1 - 2 * rate)
        tie, lose = self.pot / 2 - stake * rate, -me
        board = node.board
        values = [0.0] * 1326
        live = {j for j in range(1326) if opponent_reach[j] > 0 and
                self.combos[j][0] not in board and self.combos[j][1] not in board}
        if terminal[0] == "fold":
            payoff = lose if terminal[1] == player else win
            total = sum(opponent_reach[j] for j in live)
            by_card = [0.0] * 52
            for j in live:
                for c in self.combos[j]:
                    by_card[c] += opponent_reach[j]
            for i, (a, b) in enumerate(self.combos):
                if a in board or b in board:
                    continue
                blocked = by_card[a] + by_card[b] - opponent_reach[i]
                values[i] = payoff * (total - blocked)
            return values
        return self.ShowdownValues(board, live, opponent_reach, win, tie, lose)

    def ShowdownValues(self, board, live, reach, win, tie, lose):
        """Linear in the combos after sorting: per strength, the opponent's reach strictly
        below and equal, minus the reach of combos that share a card with the hand."""
        strength = self.Strengths(board)
        groups = {}
        for j in live:
            groups.setdefault(strength[j], []).append(j)
        total, by_card = 0.0, [0.0] * 52
        for j in live:
            total += reach[j]
            for c in self.combos[j]:
                by_card[c] += reach[j]
        mine = sorted((i for i in range(1326) if strength[i] is not None),
                      key=lambda i: strength[i])
        keys = sorted(groups)
        below, below_card = 0.0, [0.0] * 52
        values = [0.0] * 1326
        k = 0
        for i in mine:
            while k < len(keys) and keys[k] < strength[i]:
                for j in groups[keys[k]]:
                    below += reach[j]
                    for c in self.combos[j]:
                        below_card[c] += reach[j]
                k += 1
            a, b = self.combos[i]
            equal = groups.get(strength[i], [])
            equal_total = sum(reach[j] for j in equal)
            equal_blocked = sum(reach[j] for j in equal if {a, b} & set(self.combos[j]))
            wins = below - below_card[a] - below_card[b]
            ties = equal_total - equal_blocked
            compatible = total - by_card[a] - by_card[b] + (reach[i] if i in live else 0.0)
            values[i] = win * wins + tie * ties + lose * (compatible - wins - ties)
        return values

    def Values(self, node, parent, player, opponent_reach, best):
        """Counterfactual values of 'player' below node: played strategy, or best response."""
        terminal = Terminal(node, parent)
        if terminal:
            return self.TerminalValues(node, terminal, player, opponent_reach)
        if node.kind == "SPLIT_NODE":
            # A card is dealt: each of the cards left for a pair of hands is equally
            # likely, so every dealt card weighs 1 / (cards off the board and both hands).
            total = [0.0] * 1326
            cards = node.children
            unseen = 52 - len(node.board) - 4
            for child in cards:
                dealt = child.board[-1]
                reach = [0.0 if dealt in self.combos[j] else opponent_reach[j]
                         for j in range(1326)]
                child_values = self.Values(child, node, player, reach, best)
                for i in range(1326):
                    if dealt not in self.combos[i]:
                        total[i] += child_values[i] / unseen
            return total
        acting = 0 if node.kind == "OOP_DEC" else 1
        if acting == player:
            results = [self.Values(c, node, player, opponent_reach, best) for c in node.children]
            if best:
                return [max(r[i] for r in results) for i in range(1326)]
            return [sum(node.strategy[a][i] * results[a][i] for a in range(len(results)))
                    for i in range(1326)]
        total = [0.0] * 1326
        for a, child in enumerate(node.children):
            reach = [opponent_reach[j] * node.strategy[a][j] for j in range(1326)]
            child_values = self.Values(child, node, player, reach, best)
            for i in range(1326):
                total[i] += child_values[i]
        return total

    def Figure(self, root, player, best):
        # show_range prints the weights as set; combos that touch the board are not in play.
        board = set(root.board)
        mine, theirs = ([0.0 if board & set(combo) else w
                         for combo, w in zip(self.combos, self.ranges[p])]
                        for p in (player, 1 - player))
        values = self.Values(root, None, player, theirs, best)
        pairs = 0.0
        for i, (a, b) in enumerate(self.combos):
            if mine[i] <= 0:
                continue
            for j, (c, d) in enumerate(self.combos):
                if theirs[j] > 0 and not {a, b} & {c, d}:
                    pairs += mine[i] * theirs[j]
        return sum(mine[i] * values[i] for i in range(1326)) / pairs


def StrategySumProblems(node, ranges, combos):
    problems = []
    if node.strategy is not None:
        acting = 0 if node.kind == "OOP_DEC" else 1
        for i in range(1326):
            if ranges[acting][i] > 0 and not set(node.board) & set(combos[i]):
                total = sum(row[i] for row in node.strategy)
                if abs(total - 1) > 1e-4:
                    problems.append(f"{node.path} combo {i}: strategy sums to {total}")
    for child in node.children:
        problems += StrategySumProblems(child, ranges, combos)
    return problems


def main():
    binary, script = sys.argv[1], sys.argv[2]
    iterations = int(sys.argv[3]) if len(sys.argv) > 3 else 30
    threads = int(sys.argv[4]) if len(sys.argv) > 4 else 2
    program = Program(binary)
    for line in open(script):
        if line.strip():
            reply = program.Ask(line.strip())
            if any(r.startswith("ERROR") for r in reply):
                print("setup failed:", reply)
                return 1
    program.Ask(f"set_threads {threads}")
    program.Ask(f"go {iterations} steps")
    program.Ask("wait_for_solver")
    results = {}
    for line in program.Ask("calc_results"):
        if ":" in line:
            key, value = line.rsplit(":", 1)
            results[key] = float(value)
    hand_order = program.Ask("show_hand_order")[0].split()
    ranges = [[float(x) for x in program.Ask(f"show_range {p}")[0].split()]
              for p in ("OOP", "IP")]
    root, pot = ReadTree(program, "r:0")
    program.Close()
    rake = (0.0, 0.0)
    for line in open(script):
        if line.startswith("set_rake "):
            rake = tuple(float(x) for x in line.split()[1:3])
    game = Game(pot, ranges, hand_order, rake)
    ev = [game.Figure(root, p, best=False) for p in (0, 1)]
    mes = [game.Figure(root, p, best=True) for p in (0, 1)]
    exploitability = 0.5 * ((mes[0] - ev[0]) + (mes[1] - ev[1]))
    mine = {"EV OOP": ev[0], "EV IP": ev[1], "OOP's MES": mes[0], "IP's MES": mes[1],
            "Exploitable for": exploitability}
    tolerance = 0.002 + 2e-5 * pot
    failed = False
    for key, value in mine.items():
        theirs = results.get(key)
        ok = theirs is not None and abs(theirs - value) <= tolerance
        failed |= not ok
        print(f"{key:16s} program {theirs!s:>12s}  recomputed {value:12.4f}  {'ok' if ok else 'DIFFERS'}")
    problems = StrategySumProblems(root, ranges, game.combos)
    for problem in problems[:10]:
        print(problem)
    return 1 if failed or problems else 0


if __name__ == "__main__":
    sys.exit(main())
