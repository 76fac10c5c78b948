#!/usr/bin/env bash
# glimor-server against peers: see glimor_server_peer.py, group "page" (headless Chromium).
# Debian's python3-selenium lives with the system's Python.
set -euo pipefail
exec /usr/bin/python3 "$(dirname "$0")/glimor_server_peer.py" page
