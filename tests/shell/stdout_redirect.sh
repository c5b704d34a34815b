# stdoutredi and stdoutredi_append move replies into a file, stdoutback returns them.
source "$(dirname "$0")/lib.bash"
printf 'echo one\nstdoutredi r.txt\necho two\nstdoutredi_append r.txt\necho three\nstdoutback\necho four\nstdoutredi /no/such/dir/x\n' |
    setsid "$QUILLANE" | without_banner >out.txt
printf 'stdoutredi ok!\ntwo\nstdoutredi_append ok!\nthree\n' >expected_file.txt
printf 'one\nstdoutback ok!\nfour\nERROR: stdoutredi freopen failed\n' >expected_out.txt
diff -u expected_file.txt r.txt || fail "redirected file differs"
diff -u expected_out.txt out.txt || fail "console output differs"
exit 0
