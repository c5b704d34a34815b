# show_cpu_info: vendor, brand, then 51 features eight to a line, then END.
source "$(dirname "$0")/lib.bash"
echo show_cpu_info | "$QUILLANE" | without_banner >out.txt
[ "$(sed -n 1p out.txt)" = "$(grep -m1 vendor_id /proc/cpuinfo | sed 's/.*: //')" ] ||
    fail "vendor line: $(sed -n 1p out.txt)"
[ "$(tail -n 1 out.txt)" = END ] || fail "no END line"
for n in 3 4 5 6 7 8; do
    line=$(sed -n "${n}p" out.txt)
    [ ${#line} = $((8 * 18)) ] || fail "feature line of ${#line} bytes: '$line'"
done
last=$(sed -n 9p out.txt)
[ ${#last} = $((3 * 18)) ] || fail "last feature line: '$last'"
[ "$(sed -n '3,9p' out.txt | grep -o '\[[x ]\]  [^ ]*' | wc -l)" = 51 ] || fail "not 51 features"
grep -q '\[x\]  AVX512F ' out.txt || fail "AVX512F not marked present"
grep -q '\[x\]  SSE2 ' out.txt || fail "SSE2 not marked present"
grep -q '\[ \]  AVX512ER ' out.txt || fail "AVX512ER (Xeon Phi only) marked present"
# Marks follow the processor's own bits, whoever made it: the kernel's flags agree.
flags=" $(grep -m1 '^flags' /proc/cpuinfo | sed 's/.*: //') "
for pair in LZCNT:abm SYSCALL:syscall RDTSCP:rdtscp POPCNT:popcnt AVX2:avx2 BMI2:bmi2; do
    name=${pair%%:*} flag=${pair#*:}
    mark=' '
    [[ $flags == *" $flag "* ]] && mark=x
    grep -q "\[$mark\]  $name " out.txt || fail "$name not marked '$mark' as /proc/cpuinfo's $flag says"
done
exit 0
