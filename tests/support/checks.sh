# Helpers of the end-to-end shell scripts (bash or sh). Source this file.
failures=0
check() {  # check NAME COMMAND...: says ok or FAIL for what COMMAND returns, counting failures
  local name=$1; shift
  if "$@"; then echo "ok: $name"; else echo "FAIL: $name"; failures=$((failures + 1)); fi
}
# start_xvfb DIR SIZE [ARGUMENTS...]: a private Xvfb on a free display (found through DIR/display);
# sets $display and $xvfb_pid.
start_xvfb() {
  local dir=$1 size=$2; shift 2
  rm -f "$dir/display"
  Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp -noreset "$@" 3> "$dir/display" 2> /dev/null &
  xvfb_pid=$!
  for _ in $(seq 100); do [ -s "$dir/display" ] && break; sleep 0.1; done
  display=:$(cat "$dir/display")
}
now() { date +%s%3N; }
poll() {  # poll TRIES COMMAND...: every $every (0.1) s until COMMAND succeeds; false if it never did
  local n=$1; shift
  for _ in $(seq "$n"); do "$@" && return 0; sleep "${every:-0.1}"; done; return 1
}
hex() { od -An -tx1 "$1" 2> /dev/null | tr -d ' \n'; }  # hex FILE: its bytes, nothing when it is missing
heard() { [ -s "$1" ] && [ "$(tr -d '\0' < "$1" | head -c 1 | wc -c)" -gt 0 ]; }  # heard FILE: sound, not silence
# A process being reaped loses its stat file before its folder: only a state read counts.
running() { local state; state=$(awk '{print $3}' "/proc/$1/stat" 2> /dev/null) && [ -n "$state" ] && [ $state != Z ]; }
# ends PID MS: the process is gone within MS milliseconds (else: where its threads wait).
ends() {
  local t0; t0=$(now)
  while running "$1" && [ $(($(now) - t0)) -lt "$2" ]; do sleep 0.01; done
  running "$1" && { gdb -p "$1" -batch -ex "thread apply all bt 12" 2> /dev/null | grep '^#'; return 1; }
  echo "  ended after $(($(now) - t0)) ms"
}
