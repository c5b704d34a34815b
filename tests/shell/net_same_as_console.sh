# A session sent over TCP, one message per line, gets byte for byte the replies the same
# lines get at the console: variables, echo, repeat, errors, flow commands, scripts and
# the end string.
source "$(dirname "$0")/net_lib.bash"
printf 'echo in script\nset_value from_script yes\nrepeat 2 s\nbogus_in_script\nget_value from_script\n' >script.txt
{
    printf '%s\n' 'is_ready' 'set_value board "Ks 7h 2d"' 'get_value board' 'echo board is $board' \
        'repeat 3 line of  text' 'default_value board other' 'default_value fresh new' \
        'get_value fresh' 'get_value missing' 'set_value' 'bogus_command with args' \
        'verify_value fresh 1' 'set_value n 5' 'verify_value n 5.2 0.5' 'verify_value n 7' \
        'if_match $board Ks' 'echo matched' 'end_if' 'if_match $board Qs' 'echo not shown' \
        'end_if' 'skip_if_done script.txt done' 'echo skipped' 'LABEL: done' '   ' \
        '#comment' 'load_script script.txt' 'get_value from_script' 'help extra' 'sleep x' \
        'repeat 0 x' 'get_all_values'
    printf 'echo crlf line\r\necho cr line\rset_end_string READY\n'
    printf '%s\n' 'is_ready' 'repeat 2 x' 'bogus' 'help' 'load_script script.txt' 'disconnect'
} >session.txt

timeout 20 "$QUILLANE" <session.txt | without_banner >console.txt
[ -s console.txt ] || fail "console run produced nothing"

start_server
client <session.txt >tcp.txt || fail "client failed with code $?"
diff -u console.txt tcp.txt || fail "replies over TCP differ from the console"
grep -qx 'READY' tcp.txt || fail "session did not reach the end string"
server_alive || fail "server ended"
exit 0
