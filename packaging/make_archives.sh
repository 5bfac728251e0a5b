#!/usr/bin/env bash
# Writes the download archives and their sums into one folder:
#   bodwright-<version>-windows-x86_64.zip
#   bodwright-<version>-linux-x86_64.tar.gz
#   SHA256SUMS
# Run by the package build (cmake --workflow --preset package) once both
# programs are built. Two runs on the same commit give the same bytes,
# whatever the time zone, umask or user: every entry's time is the commit's,
# its mode fixed, its owner 0, and entries come in sorted order.
set -euo pipefail
export TZ=UTC LC_ALL=C

usage() {
  echo "usage: $0 --source DIR --out DIR --version V --linux PROGRAM --windows PROGRAM.exe" >&2
  exit 2
}
src= out= version= linux_program= windows_program=
while [ $# -gt 0 ]; do
  case "$1" in
    --source) src=$2 ;;
    --out) out=$2 ;;
    --version) version=$2 ;;
    --linux) linux_program=$2 ;;
    --windows) windows_program=$2 ;;
    *) usage ;;
  esac
  shift 2
done
[ -n "$src" ] && [ -n "$out" ] && [ -n "$version" ] && [ -n "$linux_program" ] && [ -n "$windows_program" ] || usage
for tool in zip tar gzip sha256sum; do
  command -v "$tool" >/dev/null || { echo "$0: $tool is needed (Debian package: $tool)" >&2; exit 1; }
done

# The time every entry carries: the commit's, so that it changes only with
# the sources. Without a repository (an unpacked source archive), the newest
# source file's. Git is told to trust the repository whoever owns it: it
# only reads a time, and a build by another user must find the same one.
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  src_real=$(cd "$src" && pwd -P)
  if top=$(git -c safe.directory='*' -C "$src" rev-parse --show-toplevel 2>/dev/null) &&
     [ "$(cd "$top" && pwd -P)" = "$src_real" ]; then
    SOURCE_DATE_EPOCH=$(git -c safe.directory='*' -C "$src" log -1 --format=%ct)
  else
    SOURCE_DATE_EPOCH=$(cd "$src" && find CMakeLists.txt LICENSE README.md cmake docs examples packaging src \
                          -type f -printf '%T@\n' 2>/dev/null | sort -n | tail -n 1 | cut -d. -f1)
  fi
fi
[ -n "$SOURCE_DATE_EPOCH" ] || { echo "$0: no time for the archives' entries" >&2; exit 1; }
export SOURCE_DATE_EPOCH

name="bodwright-$version"
zip_name="$name-windows-x86_64.zip"
tar_name="$name-linux-x86_64.tar.gz"
notices="$src/packaging/notices"

mkdir -p "$out"
stage=$(mktemp -d "$out/.stage.XXXXXX")
trap 'rm -rf "$stage"' EXIT

# put MODE SOURCE DEST: one file of an archive, with the mode it is stored with.
put() {
  mkdir -p "$(dirname "$3")"
  cp "$2" "$3"
  chmod "$1" "$3"
}

# The licence, then the notices of what the program carries. zlib's only
# where the program holds it: its copyright string is in every program that
# links it, so the program itself says.
licence() {
  local program=$1; shift
  cat "$src/LICENSE"
  for notice in gcc-runtime "$@"; do
    printf '\n\n'
    cat "$notices/$notice.txt"
  done
  if LC_ALL=C grep -aqE ' Copyright 1995-[0-9]+ (Jean-loup Gailly and )?Mark Adler' "$program"; then
    printf '\n\n'
    cat "$notices/zlib.txt"
  fi
}

shopt -s nullglob
docs=("$src"/docs/*.md)
shopt -u nullglob

win="$stage/windows/$name"
put 755 "$windows_program" "$win/bodwright.exe"
put 644 "$src/examples/bodwright.ini" "$win/bodwright.ini"
put 644 "$src/README.md" "$win/README.txt"
put 644 "$src/packaging/START.txt" "$win/START.txt"
licence "$windows_program" mingw-w64 > "$stage/LICENSE-windows.txt"
put 644 "$stage/LICENSE-windows.txt" "$win/LICENSE.txt"

lin="$stage/linux/$name"
put 755 "$linux_program" "$lin/bin/bodwright"
put 644 "$src/examples/bodwright.ini" "$lin/bin/bodwright.ini"
put 644 "$src/README.md" "$lin/README.md"
licence "$linux_program" > "$stage/LICENSE-linux.txt"
put 644 "$stage/LICENSE-linux.txt" "$lin/LICENSE.txt"

for root in "$win" "$lin"; do
  for doc in "${docs[@]}"; do
    put 644 "$doc" "$root/docs/$(basename "$doc")"
  done
  put 644 "$src/examples/sample.cmp" "$root/examples/sample.cmp"
  put 644 "$src/examples/sample.mat" "$root/examples/sample.mat"
  find "$root" -type d -exec chmod 755 {} +
  find "$root" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
done

rm -f "$out"/bodwright-*-windows-x86_64.zip "$out"/bodwright-*-linux-x86_64.tar.gz "$out/SHA256SUMS"

# zip stores the files in the order listed, with the DOS time of their
# modification time in TZ; -X leaves out owners and the extra time fields,
# -D the folder entries.
(cd "$stage/windows" && find "$name" -type f | sort > "$stage/windows.list" &&
   zip -X -D -9 -q "$stage/$zip_name" -@ < "$stage/windows.list")
(cd "$stage/linux" &&
   tar --sort=name --owner=0 --group=0 --numeric-owner --mode='u=rwX,go=rX' \
       --mtime="@$SOURCE_DATE_EPOCH" --format=gnu -cf - "$name" | gzip -9 -n > "$stage/$tar_name")
mv "$stage/$zip_name" "$stage/$tar_name" "$out/"
(cd "$out" && sha256sum "$zip_name" "$tar_name" > SHA256SUMS)

for f in "$zip_name" "$tar_name"; do
  printf '%s  %s bytes\n' "$out/$f" "$(stat -c %s "$out/$f")"
done
