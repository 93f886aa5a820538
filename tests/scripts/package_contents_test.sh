#!/usr/bin/env bash
# What the packages in dist/ must hold beyond the program: the .deb its
# manual page, changelogs, machine-readable copyright, AppStream data and
# menu entry; the zip a README.txt in Windows line ends that tells how to
# start it, where the settings live, the keys and --check.
set -u
cd "$(dirname "$0")/../.."
fails=0
fail() { echo "FAIL: $*" >&2; fails=$((fails + 1)); }

deb=$(ls dist/zintra_*.deb 2>/dev/null | head -1)
zip=$(ls dist/zintra-*-win64.zip 2>/dev/null | head -1)
[ -n "$deb" ] && [ -n "$zip" ] || { echo "FAIL: no packages in dist/: run scripts/package" >&2; exit 1; }
version=$(sed -n 's/^project(zintra VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)

files=$(dpkg-deb -c "$deb" | awk '{ print $6 }')
for path in ./usr/bin/zintra ./usr/share/man/man1/zintra.1.gz \
            ./usr/share/doc/zintra/changelog.Debian.gz ./usr/share/doc/zintra/changelog.gz \
            ./usr/share/doc/zintra/copyright ./usr/share/metainfo/example.zintra.Zintra.metainfo.xml \
            ./usr/share/applications/example.zintra.Zintra.desktop; do
  grep -qx -- "$path" <<< "$files" || fail "$deb has no $path"
done
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
dpkg-deb -x "$deb" "$tmp/deb"
head -1 "$tmp/deb/usr/share/doc/zintra/copyright" |
  grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
  fail "copyright is not in the machine-readable format"
zcat "$tmp/deb/usr/share/doc/zintra/changelog.Debian.gz" | head -1 |
  grep -q "^zintra ($version-[0-9]*) " || fail "changelog.Debian does not start with version $version"
grep -q "<release version=\"$version\"" "$tmp/deb/usr/share/metainfo/example.zintra.Zintra.metainfo.xml" ||
  fail "the metainfo's release is not $version"

(cd "$tmp" && cmake -E tar xf "$OLDPWD/$zip")
# The console twin beside the viewer, for zintra --check in cmd.
ls "$tmp"/zintra-*-win64/zintra.com >/dev/null 2>&1 || fail "$zip has no zintra.com"
readme=$(ls "$tmp"/zintra-*-win64/README.txt 2>/dev/null | head -1)
if [ -z "$readme" ]; then
  fail "$zip has no README.txt"
else
  [ "$(grep -c $'\r$' "$readme")" -eq "$(wc -l < "$readme")" ] || fail "README.txt has lines not ending in CRLF"
  for text in "Zintra $version" "zintra.exe" "zintra.cfg" "zintra.ini" "--check" "Keyboard:" "ESC"; do
    grep -qF -- "$text" "$readme" || fail "README.txt never says $text"
  done
fi
exit $((fails > 0))
