# Sourced by the native saver's test scripts: an Xvfb display of the script's own (Xvfb picks a
# free number), checks that count and report, and cleanup of what the script started.
XVFB_PID=
CHECKS=0
FAILURES=0
STARTED=()

start_xvfb() {  # WxH: exports DISPLAY
  local fifo
  fifo=$(mktemp -u)
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 "${1}x24" -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
  XVFB_PID=$!
  local number
  read -r -t 10 number <"$fifo" || true
  rm -f "$fifo"
  [ -n "$number" ] || { echo "FAIL: Xvfb did not start"; exit 1; }
  export DISPLAY=:$number
}

cleanup() {
  for pid in "${STARTED[@]}"; do kill "$pid" 2>/dev/null; done
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null
  wait 2>/dev/null
  [ -n "${WORK:-}" ] && rm -rf "$WORK"
}
trap cleanup EXIT

check() {  # description, then the command that must succeed
  local what=$1
  shift
  CHECKS=$((CHECKS + 1))
  if "$@"; then echo "ok: $what"; else echo "FAIL: $what"; FAILURES=$((FAILURES + 1)); fi
}

finish() {
  echo "$((CHECKS - FAILURES)) of $CHECKS checks passed"
  [ "$FAILURES" = 0 ]
}

# Waits up to $2 tenths of a second for process $1 to end; true when it did.
ended_within() {
  for _ in $(seq "$2"); do kill -0 "$1" 2>/dev/null || return 0; sleep 0.1; done
  return 1
}

# The shared-memory segments a process created that still exist.
segments_of() { ipcs -m -p | awk -v pid="$1" '$3 == pid {print $1}'; }
