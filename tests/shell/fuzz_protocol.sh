# Random command lines (fixed seeds) on a small river or turn spot: every round must end
# normally, without a signal, a sanitizer report or a hang. Longer runs:
# tools/fuzz_protocol.py <binary> <rounds> <seed> <lines>.
source "$(dirname "$0")/lib.bash"
command -v python3 >/dev/null || exit 77
python3 "$SOURCE_DIR/tools/fuzz_protocol.py" "$QUILLANE" 10 3 200 >report.txt 2>&1 ||
    fail "$(cat report.txt; for f in fuzz-failures/*; do echo "== $f"; tail -n 20 "$f"; done)"
grep -q "^10 of 10 rounds passed" report.txt || fail "$(cat report.txt)"
exit 0
