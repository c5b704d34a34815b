# --color wraps the banner, echoed commands, comments and errors in their colours.
source "$(dirname "$0")/lib.bash"
printf 'is_ready\n#note\nbogus\n' | "$QUILLANE" --color --echo >out.txt
esc=$'\x1b'
grep -q "^${esc}\[92mQuillane Corvanta" out.txt || fail "banner not bright green"
grep -q "${esc}\[36mis_ready" out.txt || fail "echo not in colour 3"
grep -q "${esc}\[35m#note" out.txt || fail "echoed comment not in colour 5"
grep -q "${esc}\[31mERROR: Command bogus not recognized" out.txt || fail "error not red"
grep -q "${esc}\[0m" out.txt || fail "colour never reset"
exit 0
