#!/usr/bin/env bash
# The folders' include rules: each folder's sources include only the folders
# listed for it (README.md, "Source tree"), which are all below it, so that no
# two folders include each other; and the engine includes nothing of the
# window system. The engine's linking is checked by building its own
# tests natively (tarvel_engine_tests links the engine library alone).
# Prints every include that breaks a rule; exit status 1 when there is one.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root" || exit 1

declare -A allowed=(
  [platform]="platform"
  [decoder]="decoder platform"
  [engine]="engine decoder platform"
  [resources]="resources"
  [playlist]="playlist engine platform resources"
  [ui]="ui playlist engine platform resources"
  [settings]="settings ui playlist engine platform resources"
  [core]="core engine platform playlist settings ui resources decoder"
  [tools]="tools engine decoder platform ui"
)
# Headers of the window system, which the engine never includes.
window_headers='windows\.h|commctrl\.h|commdlg\.h|shellapi\.h|shlobj\.h|windowsx\.h|mmsystem\.h|winuser\.h|wingdi\.h'

status=0
for folder in "${!allowed[@]}"; do
  [ -d "$folder" ] || continue
  while IFS=: read -r file line text; do
    target=$(sed -E 's/.*#include "([^/"]+)\/.*/\1/' <<<"$text")
    if ! grep -qw -- "$target" <<<"${allowed[$folder]}"; then
      echo "$file:$line: $folder/ may not include $target/: $text"
      status=1
    fi
  done < <(grep -rnE '^\s*#\s*include\s+"[^/"]+/' "$folder" --include='*.h' --include='*.cpp' 2>/dev/null)
done
while IFS= read -r hit; do
  echo "$hit: the engine includes a header of the window system"
  status=1
done < <(grep -rnEi "^\s*#\s*include\s+<($window_headers)>" engine platform/WaveDevice.h platform/System.h \
           platform/WinTypes.h platform/Faults.h 2>/dev/null | grep -v 'platform/WinTypes.h:.*windows.h')
[ $status -eq 0 ] && echo "layers: every include keeps to its folder's rules"
exit $status
