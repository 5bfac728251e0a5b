#!/usr/bin/env bash
# Tries the download archives as a user would, each unpacked in an empty
# folder: the files each holds (exactly those), the programs (stripped, no
# runtime library beside the system's, the Windows one with its version
# resource and manifest), and the Windows program run under Wine on its own
# example and on a folder holding the example twice, as a drop on its icon
# gives, with outputs equal to the Linux program's run the same way (date
# lines and path separators aside).
#   try_archives.sh --package DIR --source DIR --work DIR --wine WINE
# WINEPREFIX and the other Wine variables come from the caller.
set -euo pipefail
export LC_ALL=C

pkg= src= work= wine=
while [ $# -gt 0 ]; do
  case "$1" in
    --package) pkg=$2 ;;
    --source) src=$2 ;;
    --work) work=$2 ;;
    --wine) wine=$2 ;;
    *) echo "usage: $0 --package DIR --source DIR --work DIR --wine WINE" >&2; exit 2 ;;
  esac
  shift 2
done
[ -n "$pkg" ] && [ -n "$src" ] && [ -n "$work" ] && [ -n "$wine" ] || { echo "$0: an argument is missing" >&2; exit 2; }
pkg=$(cd "$pkg" && pwd) src=$(cd "$src" && pwd)
rm -rf "$work"
mkdir -p "$work"
work=$(cd "$work" && pwd)

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }

version=$(sed -nE 's/^project\(bodwright VERSION ([0-9.]+).*/\1/p' "$src/CMakeLists.txt")
[ -n "$version" ] || { echo "$0: no version in $src/CMakeLists.txt" >&2; exit 1; }
name="bodwright-$version"
zip_file="$pkg/$name-windows-x86_64.zip"
tar_file="$pkg/$name-linux-x86_64.tar.gz"

if (cd "$pkg" && sha256sum --check --quiet SHA256SUMS) && [ "$(wc -l < "$pkg/SHA256SUMS")" -eq 2 ]; then
  pass "SHA256SUMS holds the two archives' sums"
else
  fail "SHA256SUMS does not match the archives"
fi
for f in "$zip_file" "$tar_file"; do
  size=$(stat -c %s "$f")
  if [ "$size" -le 1500000 ]; then pass "$(basename "$f"): $size bytes"; else fail "$(basename "$f"): $size bytes, over 1.5 MB"; fi
done

# What each archive must hold, and nothing more.
docs=()
for doc in "$src"/docs/*.md; do
  [ -e "$doc" ] && docs+=("docs/$(basename "$doc")")
done
expect_list() {
  for f in "$@" "${docs[@]}" examples/sample.cmp examples/sample.mat; do
    echo "$name/$f"
  done | sort
}
check_list() {  # LABEL EXPECTED ACTUAL
  if [ "$2" = "$3" ]; then
    pass "$1 holds exactly the files it should"
  else
    fail "$1 file list"
    diff <(echo "$2") <(echo "$3") | sed 's/^/  /' || true
  fi
}
check_list "the zip" "$(expect_list bodwright.exe bodwright.ini README.txt LICENSE.txt START.txt)" \
                     "$(unzip -Z1 "$zip_file" | grep -v '/$' | sort)"
check_list "the tar.gz" "$(expect_list bin/bodwright bin/bodwright.ini README.md LICENSE.txt)" \
                        "$(tar -tzf "$tar_file" | grep -v '/$' | sort)"
if ! tar -tzf "$tar_file" | grep -v "^$name/" | grep -q .; then
  pass "the tar.gz keeps everything under $name/"
else
  fail "the tar.gz has entries outside $name/"
fi

mkdir -p "$work/linux" "$work/windows"
tar -xzf "$tar_file" -C "$work/linux"
unzip -q "$zip_file" -d "$work/windows"
lin="$work/linux/$name"
win="$work/windows/$name"

# The Linux program: glibc alone shared, no symbols left.
needed=$(objdump -p "$lin/bin/bodwright" | awk '/NEEDED/ {print $2}' | sort | tr '\n' ' ')
if [ "$needed" = "ld-linux-x86-64.so.2 libc.so.6 libm.so.6 " ]; then
  pass "the Linux program needs glibc alone: $needed"
else
  fail "the Linux program needs $needed"
fi
if readelf -S "$lin/bin/bodwright" | grep -q '\.symtab'; then fail "the Linux program is not stripped"; else pass "the Linux program is stripped"; fi
echo "   newest glibc symbol: $(objdump -T "$lin/bin/bodwright" | grep -o 'GLIBC_[0-9.]*' | sort -uV | tail -n 1)"

# The Windows program: system DLLs alone, no symbols, the resource.
objdump_w=$(command -v x86_64-w64-mingw32-objdump || echo objdump)
dlls=$("$objdump_w" -p "$win/bodwright.exe" | awk '/DLL Name:/ {print $3}' | sort | tr '\n' ' ')
if echo "$dlls" | grep -qiE 'lib(stdc|gcc|winpthread)|zlib|libz'; then
  fail "the Windows program needs the compiler's or a library's DLL: $dlls"
else
  pass "the Windows program needs system DLLs alone: $dlls"
fi
if "$objdump_w" -h "$win/bodwright.exe" | grep -q '\.debug\|\.symtab' || [ "$("$objdump_w" -t "$win/bodwright.exe" | grep -c '^\[')" -ne 0 ]; then
  fail "the Windows program is not stripped"
else
  pass "the Windows program is stripped"
fi
# The version resource's strings are UTF-16: with the zero bytes taken out
# each key runs into its value.
resource=$(tr -d '\000' < "$win/bodwright.exe")
for key in "ProductNamebodwright" "ProductVersion$version" "FileVersion$version" "FileDescription"; do
  if grep -aqF "$key" <<<"$resource"; then pass "version resource: $key"; else fail "no $key in the version resource"; fi
done
for part in 'level="asInvoker"' '>true</longPathAware>'; do
  if grep -aqF "$part" "$win/bodwright.exe"; then pass "manifest: $part"; else fail "no $part in the manifest"; fi
done
if grep -aqi 'activeCodePage' "$win/bodwright.exe"; then fail "the manifest sets a code page"; fi

# Licence notices: the MinGW-w64 runtime in the Windows one, zlib wherever
# the program carries it.
grep -q 'winpthreads' "$win/LICENSE.txt" || fail "the zip's LICENSE.txt lacks winpthreads' notice"
for root in "$lin" "$win"; do
  program="$root/bin/bodwright"; [ -e "$program" ] || program="$root/bodwright.exe"
  head -n 3 "$root/LICENSE.txt" | grep -q 'Copyright (c) 2026 the bodwright authors' || fail "$root/LICENSE.txt does not start with the licence"
  if grep -aqE ' Copyright 1995-[0-9]+ (Jean-loup Gailly and )?Mark Adler' "$program" && ! grep -q 'Jean-loup Gailly' "$root/LICENSE.txt"; then
    fail "$(basename "$program") carries zlib, its LICENSE.txt not zlib's notice"
  fi
done

# The runs: the example as a model dropped on the program, then a folder
# holding it twice (the folder's page, the material files found there).
for root in "$lin" "$win"; do
  mkdir -p "$root/drop/again"
  cp "$root/examples/sample.cmp" "$root/examples/sample.mat" "$root/drop/"
  cp "$root/examples/sample.cmp" "$root/examples/sample.mat" "$root/drop/again/"
done
runs=0
run() {  # LABEL FOLDER PROGRAM ARG...
  local label=$1 dir=$2; shift 2
  runs=$((runs + 1))
  if (cd "$dir" && "$@" <&- > "$work/run$runs.out" 2>&1); then
    pass "$label"
  else
    fail "$label ended with status $?"; sed 's/^/  /' "$work/run$runs.out"
  fi
}
run "Linux program on examples/sample.cmp" "$lin" bin/bodwright examples/sample.cmp
run "Linux program on the folder drop" "$lin" bin/bodwright drop
run "Windows program on examples\\sample.cmp" "$win" "$wine" bodwright.exe 'examples\sample.cmp'
run "Windows program on the folder drop" "$win" "$wine" bodwright.exe drop
for f in examples/sample_00.bod examples/sample_01.bod drop/drop.html drop/again/sample_00.bod drop/again/Tower_Metal.dds; do
  [ -s "$lin/$f" ] || fail "the Linux program wrote no $f"
done

# A model in a folder whose name the ANSI code page cannot hold, converted
# beside itself under that name (Wine takes names from the locale: a UTF-8
# one here, where the rest of this script runs in the C locale).
mkdir -p "$win/Модели"
cp "$win/examples/sample.cmp" "$win/Модели/船.cmp"
LC_ALL=C.UTF-8 run "Windows program on a model in a Cyrillic folder" "$win" "$wine" bodwright.exe 'Модели\船.cmp'
for f in 船_00.bod 船_01.bod 船.log; do
  [ -s "$win/Модели/$f" ] || fail "the Windows program wrote no Модели/$f"
done
rm -rf "$win/Модели"

# The outputs alike, but for the date lines and Windows' path separators.
normalise() {
  sed -E -e 's#\\#/#g' -e '/^\/\/ [0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}\r?$/d' "$1"
}
lin_files=$(cd "$lin" && find examples drop -type f | sort)
win_files=$(cd "$win" && find examples drop -type f | sort)
if [ "$lin_files" != "$win_files" ]; then
  fail "the two programs wrote different files"
  diff <(echo "$lin_files") <(echo "$win_files") | sed 's/^/  /' || true
fi
compared=0 differing=0
while read -r f; do
  [ -e "$win/$f" ] || continue
  compared=$((compared + 1))
  if ! cmp -s "$lin/$f" "$win/$f" && ! cmp -s <(normalise "$lin/$f") <(normalise "$win/$f"); then
    differing=$((differing + 1))
    fail "$f differs between the two programs"
    diff <(normalise "$lin/$f") <(normalise "$win/$f") | head -n 10 | sed 's/^/  /' || true
  fi
done <<<"$lin_files"
[ "$differing" -eq 0 ] && pass "$compared files alike from the Linux and the Windows program"

if [ "$failures" -eq 0 ]; then
  echo "archives tried: all checks passed"
else
  echo "archives tried: $failures checks failed"
  exit 1
fi
