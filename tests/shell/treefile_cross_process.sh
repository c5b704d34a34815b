#!/usr/bin/env bash
# A tree solved in one process, written with dump_tree and read with load_tree by a new
# process: every result figure, node, strategy and range answers the same, and further
# solving continues from the same state (the figures after six more iterations are
# identical).
source "$(dirname "$0")/lib.bash"
spot_tool=$(dirname "$QUILLANE")/quillane-spot

"$spot_tool" --threads 2 --steps 12 "$SOURCE_DIR/examples/turn_srp.json" >solve.txt ||
    fail "quillane-spot: exit $?"

# The answers compared between the two processes. Run lines carry times; drop them.
queries() {
    echo calc_results
    echo show_all_lines
    echo "show_node r"
    while read -r path; do echo "show_node $path"; done <paths.txt
    # Strategies on every street, the locked node among them, and a river after a card.
    for path in r:0 r:0:c r:0:b46 r:0:c:c:As r:0:c:c:As:c r:0:b46:c:7c; do
        echo "show_strategy $path"
    done
    echo "show_range OOP r:0:c"
    echo get_actual_compression
    echo show_tree_params
}
continue_solving() {
    echo "go 6 steps"
    echo wait_for_solver
    echo calc_results
}
answers() { grep -v -e '^SOLVER' -e ' ok!$'; }

{ grep -v -e '^go' -e '^wait_for_solver' solve.txt; echo show_all_lines; } | "$QUILLANE" |
    grep '^r:0' >paths.txt
[ "$(wc -l <paths.txt)" -gt 100 ] || fail "expected the spot's lines, got $(wc -l <paths.txt)"

# A node locked before the file is written keeps its lock: its strategy stays as it was
# while the rest of the tree moves on.
{ cat solve.txt; echo "lock_node r:0:c"; queries; echo "dump_tree solved.tree"; continue_solving; } |
    "$QUILLANE" -m >first.out
grep -q '^dump_tree ok!$' first.out || fail "dump_tree: $(grep -m1 ERROR first.out)"
{ echo "load_tree solved.tree"; queries; continue_solving; } | "$QUILLANE" -m >second.out
grep -q '^load_tree ok!$' second.out || fail "load_tree: $(grep -m1 ERROR second.out)"

sed -n '/^EV OOP/,$p' first.out | answers >first.answers
sed -n '/^EV OOP/,$p' second.out | answers >second.answers
[ "$(grep -c '^EV OOP' first.answers)" = 2 ] || fail "missing result figures"
diff first.answers second.answers >diff.txt || fail "answers differ: $(head -20 diff.txt)"

# A third process writes the loaded tree again: the same bytes.
{ echo "load_tree solved.tree"; echo "dump_tree again.tree"; } | "$QUILLANE" >/dev/null
cmp -s solved.tree again.tree || fail "a loaded and re-written tree differs from the file"
echo "ok"
