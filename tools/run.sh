#!/usr/bin/env bash
# Builds Talvora and starts it.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/tools/build.sh" normal
exec "$top/build/bin/talvora" "$@"
