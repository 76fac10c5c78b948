#!/usr/bin/env bash
# glimor-server against peers: see glimor_server_peer.py, group "clients".
set -euo pipefail
exec python3 "$(dirname "$0")/glimor_server_peer.py" clients
