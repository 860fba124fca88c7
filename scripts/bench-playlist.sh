#!/usr/bin/env bash
# How the playlist window copes with long playlists: the real Tarvel.exe
# loading resume playlists of 2500, 5000 and 10000 lines, and scrolling them.
# usage: scripts/bench-playlist.sh (after make win)
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
exec "$root/scripts/with-wine-env.sh" bash -c \
  "'$root/scripts/wine-exec.sh' '$root/build/win/bin/tarvel_e2e_tests.exe' '$root/build/win/Tarvel.exe' --gtest_filter=PlaylistBench.*"
