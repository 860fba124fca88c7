#!/usr/bin/env bash
# Runs a command inside the headless Wine environment and stops the
# environment afterwards: scripts/with-wine-env.sh COMMAND [ARGS...]
set -uo pipefail
source "$(dirname "$0")/wine-env.sh"
trap wine_env_stop EXIT
trap 'exit 130' INT
trap 'exit 143' TERM HUP
wine_env_start headless || exit 1
"$@"
