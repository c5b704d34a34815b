# Tree files in server mode: load_tree reads the file the client sent with its type-3
# message (whatever name the command gives) and removes the transfer file afterwards;
# show_metadata is refused.
source "$(dirname "$0")/net_lib.bash"
spot_tool=$(dirname "$QUILLANE")/quillane-spot

"$spot_tool" --threads 2 --steps 10 "$SOURCE_DIR/examples/river_srp.json" >solve.txt ||
    fail "quillane-spot: exit $?"
{ cat solve.txt; echo calc_results; echo "dump_tree solved.tree"; } | "$QUILLANE" -m >console.out
grep -q '^dump_tree ok!$' console.out || fail "dump_tree: $(grep -m1 ERROR console.out)"
sed -n '/^EV OOP/,/^END/p' console.out >expected.txt

start_server
[ "$(client -f solved.tree -c 'load_tree ignored_name.tree')" = "load_tree ok!" ] ||
    fail "load_tree of the transferred file failed"
[ -e quillane_temp ] && fail "the transfer file must be removed after load_tree"
client -c calc_results >figures.txt
diff expected.txt figures.txt >/dev/null || fail "figures differ: $(diff expected.txt figures.txt)"
[ "$(client -c 'show_metadata solved.tree')" = "ERROR: show_metadata remote server not supported" ] ||
    fail "show_metadata must be refused in server mode"
[ "$(client -c 'load_tree solved.tree')" = "ERROR: load_tree can't open file (quillane_temp)" ] ||
    fail "without a transfer file load_tree must fail on quillane_temp"
server_alive || fail "server ended"
exit 0
