# Starting glimor-server for the shell tests and benchmarks. Source it.

# free_port: a TCP port that is free on loopback now.
free_port() { python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }

# start_glimor_server BINARY LOG ARGS...: the server on a free loopback port (ARGS without
# --listen), its standard error in LOG; sets glimor_server_pid and glimor_server_port. Returns 1 with the
# reason on standard error unless it takes connections within 10 s.
start_glimor_server() {
  local binary=$1 log=$2 try
  shift 2
  glimor_server_port=$(free_port)
  "$binary" --listen "127.0.0.1:$glimor_server_port" "$@" 2>"$log" &
  glimor_server_pid=$!
  for try in $(seq 100); do
    (: <"/dev/tcp/127.0.0.1/$glimor_server_port") 2>/dev/null && return 0
    kill -0 "$glimor_server_pid" 2>/dev/null || break
    sleep 0.1
  done
  kill "$glimor_server_pid" 2>/dev/null
  echo "glimor-server did not take connections on 127.0.0.1:$glimor_server_port: $(tail -n 5 "$log")" >&2
  return 1
}
