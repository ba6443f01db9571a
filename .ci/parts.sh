# Sourced by the CI scripts: `part NAME COMMAND...` runs one part of CI, prints how long it
# took and whether it passed, and returns its exit status; `parts_summary` lists them all.
parts_done=()

part() {
  local name=$1 started status=0
  shift
  echo "=== ci: $name"
  started=$(date +%s)
  "$@" || status=$?
  local took=$(($(date +%s) - started))
  local result=passed
  [ "$status" -eq 0 ] || result="FAILED (exit $status)"
  parts_done+=("$(printf '%-56s %4d min %02d s  %s' "$name" $((took / 60)) $((took % 60)) "$result")")
  echo "=== ci: $name: $result after $((took / 60)) min $((took % 60)) s"
  return "$status"
}

parts_summary() {
  echo "=== ci: parts"
  printf '  %s\n' "${parts_done[@]}"
}
