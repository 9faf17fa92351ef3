# Sourced by the screenshot scripts: starts a virtual X server on a free display (so runs
# side by side do not collide), sets $display to it and stops the server when the script ends.
start_xvfb() {
  local number_file
  number_file=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$number_file" >/dev/null 2>&1 &
  xvfb_pid=$!
  trap 'kill "$xvfb_pid" 2>/dev/null || true' EXIT
  for _ in $(seq 100); do [ -s "$number_file" ] && break; sleep 0.1; done
  display=:$(head -n1 "$number_file")
  rm -f "$number_file"
}
