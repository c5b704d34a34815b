# Type-3 messages: the file arrives whole in the transfer file "quillane_temp" in the
# server's directory, replacing what was there; a file that cannot be stored is reported
# as "Exception:..." and the command still runs; a transfer cut short leaves no file.
# Type-4 messages: the command runs and, as it returns no block, the reply is type 1.
source "$(dirname "$0")/net_lib.bash"
start_server
head -c $((5 * 65536 + 12345)) /dev/urandom >big.bin
head -c 1000 /dev/urandom >small.bin
: >empty.bin

[ "$(client -f big.bin -c is_ready)" = "is_ready ok!" ] || fail "type-3 reply differs"
cmp big.bin quillane_temp || fail "large transfer file differs"
[ "$(client -f small.bin -c 'echo second')" = "second" ] || fail "second type-3 reply differs"
cmp small.bin quillane_temp || fail "a new transfer must replace the old content"
client -f empty.bin -c is_ready >/dev/null || fail "empty file transfer failed"
[ -f quillane_temp ] && [ ! -s quillane_temp ] || fail "an empty file must leave an empty transfer file"

[ "$(client -b big.bin -c 'echo with block' -o block_out.bin)" = "with block" ] ||
    fail "type-4 reply text differs"
[ -e block_out.bin ] && fail "a command that fills no output block must get a type-1 reply"

rm quillane_temp
mkdir quillane_temp
[ "$(client -f small.bin -c 'echo still runs')" = "still runs" ] ||
    fail "the command of a type-3 message must run although the file could not be stored"
grep -qx "Exception:can't open transfer file 'quillane_temp' (Is a directory)" server.log ||
    fail "transfer-file failure not reported: $(cat server.log)"
rmdir quillane_temp

client -f small.bin -c is_ready >/dev/null
open_raw
raw_send "\\x03$(le_bytes 200000 8)"
head -c 70000 /dev/zero >&3
close_raw
wait_for_log '^client disconnected$' || fail "no disconnect reported"
[ "$(client -c is_ready)" = "is_ready ok!" ] || fail "server does not serve after a cut transfer"
[ -e quillane_temp ] && fail "a transfer cut short must not leave a transfer file"
server_alive || fail "server ended"
exit 0
