# demo_verdict ADMIN SESSION_ID WORK: prints the service's verdict on every
# signature of the session and, when it did not finish, why (the agent's
# errors and warnings from WORK/eventlog.log, the end of WORK/service.log).
# Sets verdict (the service's JSON) for demo_all_verified; returns 1 when the
# service gave no verdict at all. Sourced by scripts/demo and
# scripts/demo-windows; SSL_CERT_FILE trusts the service.
demo_verdict() {
  local admin=$1 session_id=$2 work=$3
  verdict=$(curl -sS --cacert "$SSL_CERT_FILE" "$admin/admin/sessions/$session_id" || true)
  echo
  echo "Service verdict:"
  if [ -z "$verdict" ]; then
    echo "  (the service gave no verdict)"
    return 1
  fi
  printf '%s' "$verdict" | jq -r '.documents[]? | "  \(.name): \(if .signatureValid then "signature verified" else "NOT verified (\(.signatureDetail // "no signature"))" end)"'
  state=$(printf '%s' "$verdict" | jq -r '.state // empty' 2>/dev/null || true)
  if [ -n "$state" ]; then
    echo "  session state: $state"
  else
    # An error answer ({"error":...}) or no JSON at all: say what came back.
    echo "  no session state; the service answered: $(printf '%s' "$verdict" | jq -r '.error // empty' 2>/dev/null || true)"
    printf '%s\n' "$verdict" | head -c 400 | sed 's/^/    /'
    echo
  fi
  if ! printf '%s' "$verdict" | jq -e '.state == "FINISHED"' >/dev/null 2>&1; then
    # Why the session did not finish: the agent's errors and warnings (the
    # texts its message boxes showed are among them) and the service's log.
    echo "The agent's errors and warnings:"
    tr -d '\r' < "$work/eventlog.log" 2>/dev/null | grep -E ' (ERROR|WARNING): ' | tail -n 8 | sed 's/^/  /' ||
      echo "  (none logged)"
    echo "The service's last log lines:"
    tail -n 5 "$work/service.log" | sed 's/^/  /'
  fi
}

# demo_all_verified: the service verified every signature of the session.
demo_all_verified() {
  printf '%s' "$verdict" | jq -e '(.documents | length) > 0 and all(.documents[]; .signatureValid == true)' >/dev/null
}
