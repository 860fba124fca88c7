#!/usr/bin/env bash
# Runs one Windows program under Wine (CTest's emulator for the Windows
# tests). Inside a Wine environment it runs there; otherwise it sets one up
# for this program alone.
set -uo pipefail
here=$(dirname "$0")
if [ -z "${TARVEL_WINE_ENV:-}" ]; then
  exec "$here/with-wine-env.sh" "$here/wine-exec.sh" "$@"
fi
exec /usr/lib/wine/wine64 "$@"
