# Shell functions for running nerolin.exe under Wine against the reference
# service, which stays a Linux program on the same machine. Sourced by the
# Windows program tests (tests/app/windows/wine-programs) and by
# `./run demo --windows`. Callers set:
#   WINE_AGENT_WORK   a private folder of the run (the service's log, Xvfb's display)
#   WINE_AGENT_BIN    the Windows build's bin/ (nerolin.exe and Qt beside it)
#   WINE_AGENT_ROOT   the source tree (scripts/wine-run)
# and call wine_agent_cleanup on exit. The Wine prefix is the one
# scripts/wine-run uses (WINEPREFIX, else build-windows/wineprefix).

wine_agent_service_pid=""
wine_agent_xvfb_pid=""

wine_agent_cleanup() {
  if [ -n "$wine_agent_service_pid" ]; then
    # The service ends when its standard input closes.
    exec 4>&- 2>/dev/null || true
    kill "$wine_agent_service_pid" 2>/dev/null && wait "$wine_agent_service_pid" 2>/dev/null
    wine_agent_service_pid=""
  fi
  if [ -n "$wine_agent_xvfb_pid" ]; then
    kill "$wine_agent_xvfb_pid" 2>/dev/null && wait "$wine_agent_xvfb_pid" 2>/dev/null
    wine_agent_xvfb_pid=""
  fi
  true
}

# wine_agent_start_service DEVSERVICE [ARGUMENTS...]: the reference service on
# free ports; sets SSL_CERT_FILE, SERVICE_URL and NEROLIN_TEST_WHITELIST_URL
# (exported: Wine hands the environment to the Windows program).
wine_agent_start_service() {
  local program=$1
  shift
  mkfifo "$WINE_AGENT_WORK/service.in"
  "$program" --whitelist-port 0 --service-port 0 --exit-with-stdin "$@" \
    <"$WINE_AGENT_WORK/service.in" >"$WINE_AGENT_WORK/service.log" 2>&1 &
  wine_agent_service_pid=$!
  exec 4>"$WINE_AGENT_WORK/service.in"
  for _ in $(seq 1 300); do
    grep -qx ready "$WINE_AGENT_WORK/service.log" && break
    kill -0 "$wine_agent_service_pid" 2>/dev/null || break
    sleep 0.1
  done
  if ! grep -qx ready "$WINE_AGENT_WORK/service.log"; then
    echo "the reference service did not start:" >&2
    sed 's/^/  /' "$WINE_AGENT_WORK/service.log" >&2
    return 1
  fi
  SSL_CERT_FILE=$(sed -n 's/^SSL_CERT_FILE=//p' "$WINE_AGENT_WORK/service.log" | head -n 1)
  SERVICE_URL=$(sed -n 's/^SERVICE_URL=//p' "$WINE_AGENT_WORK/service.log" | head -n 1)
  NEROLIN_TEST_WHITELIST_URL=$(sed -n 's/^WHITELIST_URL=//p' "$WINE_AGENT_WORK/service.log" | head -n 1)
  if [ -z "$NEROLIN_TEST_WHITELIST_URL" ]; then
    # With --demo the service names its URLs in the line after "ready".
    for _ in $(seq 1 50); do
      NEROLIN_TEST_WHITELIST_URL=$(sed -n -E 's#.* whitelist (https://[^ ,]+).*#\1#p' "$WINE_AGENT_WORK/service.log" | head -n 1)
      [ -n "$NEROLIN_TEST_WHITELIST_URL" ] && break
      sleep 0.1
    done
  fi
  export SSL_CERT_FILE NEROLIN_TEST_WHITELIST_URL
}

# wine_agent_session JSON: a new session of the service; prints its answer
# (sessionId, link, ...).
wine_agent_session() {
  curl -sS --fail --cacert "$SSL_CERT_FILE" -H 'Content-Type: application/json' -d "$1" "$SERVICE_URL/admin/sessions"
}

# wine_agent_report SESSION_ID: the service's report of the session.
wine_agent_report() {
  curl -sS --cacert "$SSL_CERT_FILE" "$SERVICE_URL/admin/sessions/$1"
}

# wine_agent_xvfb: a private X display for Wine's windows; sets DISPLAY.
wine_agent_xvfb() {
  exec 3>"$WINE_AGENT_WORK/display"
  Xvfb -displayfd 3 -noreset -screen 0 1024x768x24 -nolisten tcp >"$WINE_AGENT_WORK/xvfb.log" 2>&1 &
  wine_agent_xvfb_pid=$!
  exec 3>&-
  for _ in $(seq 1 100); do [ -s "$WINE_AGENT_WORK/display" ] && break; sleep 0.1; done
  export DISPLAY=:$(head -n 1 "$WINE_AGENT_WORK/display")
}

# wine_agent_run PROGRAM.exe [ARGUMENTS...]: a Windows program of the build
# under Wine.
wine_agent_run() {
  local program=$1
  shift
  "$WINE_AGENT_ROOT/scripts/wine-run" "$WINE_AGENT_BIN/$program" "$@"
}

# wine_agent_windows_path PATH: a Linux path as the Windows programs name it
# ("Z:\...").
wine_agent_windows_path() {
  "$WINE_AGENT_ROOT/scripts/wine-run" winepath -w "$1" 2>/dev/null | tr -d '\r'
}

# wine_agent_trust_service: the service's CA in the user's ROOT store of the
# prefix, the system trust nerolin.exe checks the service against.
wine_agent_trust_service() {
  wine_agent_run trust-root.exe "$(wine_agent_windows_path "$SSL_CERT_FILE")"
}

# wine_agent_settings NAME=NUMBER...: REG_DWORD values of the user's key.
wine_agent_settings() {
  local pair
  for pair in "$@"; do
    "$WINE_AGENT_ROOT/scripts/wine-run" reg add 'HKCU\Software\Tavorel\Nerolin' /v "${pair%%=*}" /t REG_DWORD \
      /d "${pair#*=}" /f >/dev/null
  done
}
