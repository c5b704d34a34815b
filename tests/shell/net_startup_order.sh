# Server start-up: the server listens before the --var, --cmd, configuration-script,
# script and --pscmd steps, whose output goes to the console; the state they leave is
# what the first client finds. A port in use ends start-up with an error and code 1; a
# port of 65,536 or more starts no server.
source "$(dirname "$0")/net_lib.bash"
mkdir bin
cp "$QUILLANE" bin/quillane
echo 'echo from config' >bin/quillane_config.txt
printf 'echo from script\nset_value from_script 2\n' >script.txt
QUILLANE=$WORK/bin/quillane
start_server --var a=1 --cmd 'echo from cmd $a' --pscmd 'echo from pscmd' script.txt
wait_for_log '^from pscmd$' || fail "start-up steps did not run"
without_banner <server.log >log.txt
printf 'Listening to 0.0.0.0:%s\nfrom cmd 1\nfrom config\nfrom script\nset_value ok!\nfrom pscmd\n' "$PORT" |
    diff -u - log.txt || fail "start-up order differs"
[ "$(client -c 'get_value a' -c 'get_value from_script')" = $'a 1\nfrom_script 2' ] ||
    fail "client does not find the start-up state"

"$QUILLANE" --server --port "$PORT" </dev/null >second.log 2>&1
code=$?
[ $code = 1 ] || fail "a port in use must end start-up with code 1, got $code"
grep -q "^ERROR: can't listen to port $PORT (" second.log || fail "no error for a port in use"

[ "$(echo is_ready | timeout 10 "$QUILLANE" --server --port 70000 | without_banner)" = \
    $'from config\nis_ready ok!' ] ||
    fail "--port 70000 must leave the console loop reading standard input"
exit 0
