#!/usr/bin/env bash
# glimor-server with its images in an S3 bucket of a real gateway: see server_s3.py.
set -euo pipefail
exec python3 "$(dirname "$0")/server_s3.py"
