#!/bin/sh
# Starts or stops the local HTTP server of the services tests.
#   http_server.sh start <state folder>   serves <state folder>/www on 127.0.0.1, on the first
#                                         free port from a base derived from the folder's name;
#                                         writes the port to <state folder>/port and the
#                                         server's pid to <state folder>/pid, and returns once
#                                         the port answers
#   http_server.sh stop <state folder>    ends that server
set -u
action=$1
state=$2
case "$action" in
  start)
    "$0" stop "$state" >/dev/null 2>&1
    rm -rf "$state/www"
    mkdir -p "$state/www"
    rm -f "$state/port" "$state/pid"
    # Different build folders (and so concurrent test runs) start from different ports.
    base=$(( 20000 + $(printf '%s' "$state" | cksum | cut -d' ' -f1) % 20000 ))
    port=$base
    while [ "$port" -lt $(( base + 50 )) ]; do
      python3 -m http.server "$port" --bind 127.0.0.1 --directory "$state/www" \
        </dev/null >"$state/server.log" 2>&1 &
      pid=$!
      i=0
      while [ "$i" -lt 100 ]; do
        if python3 - "$port" <<'PY' 2>/dev/null
import socket, sys
socket.create_connection(("127.0.0.1", int(sys.argv[1])), timeout=1).close()
PY
        then
          echo "$pid" >"$state/pid"
          echo "$port" >"$state/port"
          echo "HTTP server $pid on 127.0.0.1:$port serving $state/www"
          exit 0
        fi
        kill -0 "$pid" 2>/dev/null || break   # could not bind: try the next port
        sleep 0.1
        i=$(( i + 1 ))
      done
      kill "$pid" 2>/dev/null
      port=$(( port + 1 ))
    done
    echo "could not start the HTTP server" >&2
    exit 1
    ;;
  stop)
    if [ -f "$state/pid" ]; then
      kill "$(cat "$state/pid")" 2>/dev/null
      rm -f "$state/pid" "$state/port"
    fi
    exit 0
    ;;
esac
echo "usage: $0 start|stop <state folder>" >&2
exit 2
