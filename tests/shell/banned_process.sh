# A running program whose name begins with a banned name blocks every command line;
# once it is gone, the next scan lifts the block.
source "$(dirname "$0")/lib.bash"
cp "$(command -v sleep)" "$WORK/PokerStars.exe"
"$WORK/PokerStars.exe" 30 &
dummy=$!
sleep 0.3
{
    sleep 0.5; echo is_ready
    kill $dummy; wait $dummy 2>/dev/null
    sleep 0.5; echo is_ready
} | QUILLANE_SCAN_INTERVAL_MS=100 "$QUILLANE" | without_banner >out.txt
kill $dummy 2>/dev/null
printf 'ERROR: banned process running: PokerStars.exe\nis_ready ok!\n' >expected.txt
diff -u expected.txt out.txt || fail "banned-process monitor output differs"
exit 0
