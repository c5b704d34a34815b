#!/usr/bin/env bash
# quillane-spot on the standard spots and on broken spot files: the line counts, the
# scripts building in the real program, and the messages and exit codes for bad input.
set -u
quillane=$1
source_dir=$2
spot_tool=$(dirname "$quillane")/quillane-spot
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

expect_lines() {
    local spot=$1 expected=$2 count
    count=$("$spot_tool" "$source_dir/examples/$spot.json" | grep -c '^add_line ')
    [ "$count" = "$expected" ] || fail "$spot: $count add_line lines, expected $expected"
}

expect_lines river_srp 23
expect_lines turn_srp 131
expect_lines flop_srp 228

# Each script builds in the program without an error; the flop tree has the expected size.
for spot in river_srp turn_srp flop_srp; do
    "$spot_tool" -o "$work/$spot.txt" "$source_dir/examples/$spot.json" || fail "$spot: exit $?"
    "$quillane" --verbose <"$work/$spot.txt" >"$work/$spot.out"
    grep -q '^build_tree ok!$' "$work/$spot.out" || fail "$spot: build_tree did not confirm"
    grep -q '^ERROR' "$work/$spot.out" && fail "$spot: $(grep -m1 '^ERROR' "$work/$spot.out")"
done
grep -q '^\[nodes decision 305 showdown 228 wwosd 227\]$' "$work/flop_srp.out" ||
    fail "flop_srp: $(grep '^\[nodes' "$work/flop_srp.out")"
grep -q '^\[nodes decision 24 showdown 23 wwosd 22\]$' "$work/river_srp.out" ||
    fail "river_srp: $(grep '^\[nodes' "$work/river_srp.out")"

# The solve commands follow build_tree.
"$spot_tool" --threads 2 --steps 50 "$source_dir/examples/river_srp.json" | tail -5 >"$work/solve"
printf 'build_tree\nset_threads 2\nset_accuracy 0.0050000000000000001 fraction\ngo 50 steps\nwait_for_solver\n' |
    diff - "$work/solve" >/dev/null || fail "solve commands: $(cat "$work/solve")"

# Broken spot files: exit code 2 and a message naming the key.
expect_error() {
    local name=$1 edit=$2 message=$3
    python3 -c "import json,sys; d=json.load(open(sys.argv[1])); $edit; json.dump(d, open(sys.argv[2],'w'))" \
        "$source_dir/examples/river_srp.json" "$work/$name.json" || { fail "$name: python"; return; }
    "$spot_tool" "$work/$name.json" >"$work/$name.out" 2>"$work/$name.err"
    local code=$?
    [ $code = 2 ] || fail "$name: exit code $code, expected 2"
    [ -s "$work/$name.out" ] && fail "$name: wrote a script"
    grep -qF "$message" "$work/$name.err" || fail "$name: message '$(cat "$work/$name.err")'"
}
expect_error missing_pot "del d['pot']" "missing_pot.json: pot: missing"
expect_error bad_card "d['board']='Qs Jh 2h 8d 3x'" "board: unknown card '3x'"
expect_error bad_range "d['oop_range']='22-JJ,AZs'" "oop_range: bad range item 'AZs'"
expect_error negative "d['bets']['river']['bet'][1]=-0.75" "bets.river.bet: negative size -0.75"

"$spot_tool" "$work/none.json" 2>"$work/none.err"
[ $? = 2 ] && grep -q 'cannot read the file' "$work/none.err" || fail "missing file"
"$spot_tool" 2>/dev/null
[ $? = 1 ] || fail "no spot file: expected exit code 1"
"$spot_tool" --threads 0 "$source_dir/examples/river_srp.json" >/dev/null 2>&1
[ $? = 1 ] || fail "--threads 0: expected exit code 1"

[ $failures = 0 ] && echo "spot tool: all checks passed"
exit $((failures > 0))
