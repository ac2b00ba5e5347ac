# Runs a user program on Qt's offscreen platform in a private folder until it
# prints a line, then ends it with SIGTERM (which it takes as Exit) and checks
# it ended with code 0. Waits by polling, with generous limits.
#   offscreen_run PROGRAM READY_TEXT OUT_FILE ERR_FILE [ARGS...]
# Returns 1 with a reason on standard output when the program fails.
offscreen_run() {
  local program=$1 ready=$2 out=$3 err=$4
  shift 4
  local run
  run=$(mktemp -d)
  chmod 700 "$run"
  (cd "$run" && XDG_RUNTIME_DIR="$run" QT_QPA_PLATFORM=offscreen exec "$program" "$@") >"$out" 2>"$err" &
  local pid=$! rc
  # Up to three minutes: a fully loaded machine (parallel builds beside the
  # suite) has been seen to take over a minute to start a program.
  for _ in $(seq 1 3600); do
    grep -q "$ready" "$out" && break
    kill -0 $pid 2>/dev/null || break
    sleep 0.05
  done
  if ! grep -q "$ready" "$out"; then
    kill -9 $pid 2>/dev/null
    echo "$program did not print '$ready'"; tail -n 20 "$out" "$err"; rm -rf "$run"; return 1
  fi
  kill -TERM $pid
  for _ in $(seq 1 400); do kill -0 $pid 2>/dev/null || break; sleep 0.05; done
  if kill -0 $pid 2>/dev/null; then
    kill -9 $pid; echo "$program did not end on SIGTERM"; rm -rf "$run"; return 1
  fi
  wait $pid
  rc=$?
  rm -rf "$run"
  [ $rc -eq 0 ] || { echo "$program ended with code $rc after SIGTERM"; tail -n 20 "$err"; return 1; }
}
