#!/usr/bin/env bash
# The package's metadata as distributions check it: the AppStream file and
# the menu entry validate, name the same image types, and the manual page
# sets without a warning.
#   package_metadata_test.sh METAINFO DESKTOP MANPAGE.gz
set -u
metainfo=$1 desktop=$2 manpage=$3
fails=0
fail() { echo "FAIL: $*" >&2; fails=$((fails + 1)); }

appstreamcli validate --no-net "$metainfo" || fail "appstreamcli validate --no-net $metainfo"
desktop-file-validate "$desktop" || fail "desktop-file-validate $desktop"

from_metainfo=$(sed -n 's|.*<mediatype>\(.*\)</mediatype>.*|\1|p' "$metainfo" | sort)
from_desktop=$(sed -n 's/^MimeType=//p' "$desktop" | tr ';' '\n' | sed '/^$/d' | sort)
[ -n "$from_desktop" ] || fail "no MimeType in $desktop"
[ "$from_metainfo" = "$from_desktop" ] ||
  fail "image types differ: metainfo [$(echo $from_metainfo)] desktop [$(echo $from_desktop)]"
id=$(sed -n 's|.*<id>\(.*\)</id>.*|\1|p' "$metainfo")
[ "$(basename "$desktop")" = "$id.desktop" ] || fail "$desktop is not named for the id $id"

warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$manpage" 2>&1 >/dev/null)
[ -z "$warnings" ] || fail "man page warnings: $warnings"
for section in NAME SYNOPSIS DESCRIPTION OPTIONS KEYS FILES ENVIRONMENT "EXIT STATUS"; do
  zcat "$manpage" | grep -q "^\.SH \"\?$section\"\?$" || fail "man page has no $section"
done
for word in --help --version --check zintra.cfg zintra.ini XDG_CONFIG_HOME WebP OpenRaster; do
  zcat "$manpage" | sed 's/\\-/-/g' | grep -q -- "$word" || fail "man page never says $word"
done
exit $((fails > 0))
