# The solver's figures recomputed from the outside (tools/check_best_response.py): every
# strategy read back with show_strategy, EVs and best responses computed exactly with a
# hand evaluator of its own, and calc_results' five figures compared. On the standard
# river spot, and on a turn spot with suit isomorphism on (the river cards that the
# solver merges must come back as the user's cards with the right strategies) and rake
# (5 %, capped at 10 chips: small pots pay the fraction, large ones the cap).
source "$(dirname "$0")/lib.bash"
command -v python3 >/dev/null || exit 77
spot_tool=$(dirname "$QUILLANE")/quillane-spot
check="$SOURCE_DIR/tools/check_best_response.py"

"$spot_tool" -o river.txt "$SOURCE_DIR/examples/river_srp.json" || fail "spot tool (river)"
python3 "$check" "$QUILLANE" river.txt 60 2 >river.out 2>&1 || fail "river spot: $(cat river.out)"

cat >turn.json <<'SPOT'
{"name": "turn_isomorphic", "about": "clubs and diamonds are interchangeable on this turn",
 "board": "Ks Th 7h 4h", "streets": "turn", "pot": 100, "eff_stack": 300,
 "oop_range": "AA,KK,TT,AK,KQs,QJs,JTs,A5s:0.5,98s", "ip_range": "QQ+,AK,AQs,KJs,QJs,J9s,T9s,65s",
 "bets": {"turn": {"bet": [0.5], "raise": [1.0]}, "river": {"bet": [0.75], "raise": []}},
 "allin": true, "allin_threshold": 0.67, "max_bets": 2, "donk": false, "targets_pct_pot": [1.0]}
SPOT
"$spot_tool" -o spot.txt turn.json || fail "spot tool (turn)"
{ echo "set_isomorphism 1 1"; cat spot.txt; echo "set_rake 0.05 10"; } >turn.txt
python3 "$check" "$QUILLANE" turn.txt 150 2 >turn.out 2>&1 || fail "turn spot: $(cat turn.out)"
grep -q "Exploitable for.*ok" turn.out || fail "turn spot: no figures: $(cat turn.out)"
exit 0
