#!/usr/bin/env bash
# Several glimor-server nodes on one PostgreSQL database: see server_postgres.py.
set -euo pipefail
exec python3 "$(dirname "$0")/server_postgres.py"
