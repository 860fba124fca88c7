# Shared by the recording tests (sourced): runs the caller inside the Wine
# environment, checks for the conformance data, and gives a fresh work folder.
# Needs: work, shared, the caller's "$0" and "$@".
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
if [ -z "${TARVEL_WINE_ENV:-}" ]; then
  exec "$here/scripts/with-wine-env.sh" "$0" "$@"
fi
if [ ! -d "$shared/conformance" ]; then
  echo "no conformance data: skipped"
  exit 0
fi
rm -rf "$work"
mkdir -p "$work"
cd "$work" || exit 1
wine() { "$here/scripts/wine-exec.sh" "$@"; }
winpath() { echo "Z:$1" | sed 's|/|\\|g'; }
