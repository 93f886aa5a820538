#!/usr/bin/env bash
# scripts/deb-src-list on sample apt configurations: each case is a
# sources.list, a deb822 file (either may be empty) and the line wanted.
set -u
script=$(cd "$(dirname "$0")/../.." && pwd)/scripts/deb-src-list
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
export ZINTRA_CODENAME=bookworm
key=/usr/share/keyrings/debian-archive-keyring.gpg
fails=0

check() {  # name, sources.list text, deb822 text, wanted URI as a regex ('' = refused)
  local name=$1 list=$2 deb822=$3 want=$4 out status
  rm -rf "$tmp/etc" && mkdir -p "$tmp/etc/parts"
  printf '%s\n' "$list" > "$tmp/etc/sources.list"
  [ -n "$deb822" ] && printf '%s\n' "$deb822" > "$tmp/etc/parts/debian.sources"
  out=$("$script" -o Dir::Etc::SourceList="$tmp/etc/sources.list" \
        -o Dir::Etc::SourceParts="$tmp/etc/parts" 2>"$tmp/err")
  status=$?
  if [ -z "$want" ]; then
    if [ "$status" -eq 0 ] || ! grep -q "deb http://deb.debian.org/debian bookworm main" "$tmp/err"; then
      echo "FAIL $name: wanted a refusal that says what to add, got status $status: $out"; fails=1
    else
      echo "ok   $name"
    fi
  elif [ "$status" -ne 0 ] || ! [[ "$out" =~ ^deb-src\ (\[signed-by=$key\]\ )?$want\ bookworm\ main$ ]]; then
    echo "FAIL $name: wanted $want, got status $status: $out $(cat "$tmp/err")"; fails=1
  else
    echo "ok   $name"
  fi
}

deb822_main='Types: deb
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb
URIs: http://deb.debian.org/debian-security
Suites: bookworm-security
Components: main'

check "one-line sources.list (the installer's)" \
  'deb http://deb.debian.org/debian/ bookworm main non-free-firmware
deb http://security.debian.org/debian-security bookworm-security main' \
  '' 'http://deb.debian.org/debian'
check "deb822 only (container images)" '' "$deb822_main" 'http://deb.debian.org/debian'
check "both at once" \
  'deb http://ftp.at.debian.org/debian bookworm main' "$deb822_main" \
  '(http://ftp.at.debian.org/debian|http://deb.debian.org/debian)'
check "security and updates before the release suite" \
  'deb http://security.debian.org/debian-security bookworm-security main
deb http://mirror.example.org/debian bookworm-updates main
deb [arch=amd64] http://mirror.example.org/debian bookworm main contrib' \
  '' 'http://mirror.example.org/debian'
check "a commented-out line and a cdrom entry" \
  '# deb http://old.example.org/debian bookworm main
deb cdrom:[Debian GNU/Linux 12.8.0 _Bookworm_]/ bookworm main
deb http://ftp.fr.debian.org/debian bookworm main' \
  '' 'http://ftp.fr.debian.org/debian'
check "deb-src already present" \
  'deb-src http://src.example.org/debian bookworm main' '' 'http://src.example.org/debian'
check "only the updates suite lends its archive" \
  'deb http://mirror.example.org/debian bookworm-updates main' '' 'http://mirror.example.org/debian'
check "another release only" \
  'deb http://deb.debian.org/debian trixie main' '' ''
check "nothing configured" '' '' ''
exit $fails
