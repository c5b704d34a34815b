# help lists every command once, in byte order, hides the kx4_ aliases, and ends with END.
source "$(dirname "$0")/lib.bash"
echo help | "$QUILLANE" | without_banner >out.txt
[ "$(tail -n 1 out.txt)" = END ] || fail "help does not end with END"
head -n -1 out.txt >names.txt
LC_ALL=C sort -c names.txt || fail "help is not sorted"
[ "$(sort -u names.txt | wc -l)" = "$(wc -l <names.txt)" ] || fail "help repeats a name"
grep -q '^kx4_' names.txt && fail "help shows kx4_ aliases"
for name in is_ready set_end_string load_script verify_value show_cpu_info spawn; do
    grep -qx "$name" names.txt || fail "help misses $name"
done
exit 0
