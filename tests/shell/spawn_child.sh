# spawn starts another instance with the given arguments; it dies with its parent.
source "$(dirname "$0")/lib.bash"
cp "$QUILLANE" "$WORK/quillane_spawn_test"
printf 'stdoutredi marker.txt\necho child alive\nexit\n' >child.txt
printf 'sleep 600000\n' >sleeper.txt
{
    echo "spawn $WORK/child.txt"
    echo "spawn $WORK/sleeper.txt -k"
    # The parent stays alive until the first child has written its file (at most 20 s).
    for _ in $(seq 200); do grep -qs 'child alive' marker.txt && break; sleep 0.1; done
    pgrep -f "quillane_spawn_test $WORK/sleeper.txt" >/dev/null || sleep 1
} | "$WORK/quillane_spawn_test" | without_banner >out.txt
printf 'spawn ok!\nspawn ok!\n' | diff -u - out.txt || fail "spawn replies differ"
grep -qx 'child alive' marker.txt || fail "spawned child did not run its script"
for _ in $(seq 50); do pgrep -f "quillane_spawn_test $WORK/sleeper.txt" >/dev/null || break; sleep 0.1; done
pgrep -f "quillane_spawn_test $WORK/sleeper.txt" >/dev/null && fail "child outlived its parent"
exit 0
