#!/usr/bin/env bash
# scripts/package twice on one commit gives the same .deb and .zip, byte
# for byte. With --clean, each run starts from no build at all (the
# Windows build keeps only its libraries' cache, build-windows/deps), so
# the compiled program is compared too; without, the second run rebuilds
# nothing and the packaging alone is compared.
set -euo pipefail
cd "$(dirname "$0")/../.."
clean=false
[ "${1:-}" = "--clean" ] && clean=true
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

for run in 1 2; do
  if $clean; then
    rm -rf build-pkg build-pkg-win build-windows/zintra.exe build-windows/CMakeFiles/zintra*.dir
  fi
  scripts/package > "$tmp/log$run" 2>&1 || { cat "$tmp/log$run" >&2; exit 1; }
  mkdir -p "$tmp/$run"
  cp dist/zintra_*.deb dist/zintra-*-win64.zip "$tmp/$run/"
done

fails=0
for first in "$tmp"/1/*; do
  name=$(basename "$first")
  if cmp "$first" "$tmp/2/$name"; then
    echo "same: $name ($(stat -c %s "$first") bytes)"
  else
    echo "FAIL: $name differs between two runs" >&2
    fails=$((fails + 1))
  fi
done
[ "$(ls "$tmp/1" | wc -l)" -eq 2 ] || { echo "FAIL: expected a .deb and a .zip" >&2; exit 1; }
exit $((fails > 0))
