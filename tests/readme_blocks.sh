#!/usr/bin/env bash
# shellcheck disable=SC2016  # backticks in single quotes are README's, not the shell's
# Runs README's quick command blocks against a built program and checks the
# console lines, exit statuses and files that README shows for them: the
# usage line, --help, --version, the conversion of the bundled sample, the
# demo's listing and a folder run of a copy of examples/. What README shows
# is read from README itself, so a README that no longer matches the
# program fails here.
#
#   tests/readme_blocks.sh PROGRAM      (for example build/demo/bodwright)
#
# The program needs its settings file beside it (the build puts it there).
# Prints each difference and ends with status 1 if there was any.
set -uo pipefail

if [ $# -ne 1 ]; then
  echo "usage: $0 PROGRAM" >&2
  exit 2
fi
source_dir=$(cd "$(dirname "$0")/.." && pwd)
readme="$source_dir/README.md"
program=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
[ -x "$program" ] || { echo "not a program: $1" >&2; exit 2; }
[ -f "${program%.exe}.ini" ] || { echo "no settings file beside $program" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# The paragraph of README that begins with the given text, up to the next
# blank line, as one line.
paragraph() {
  awk -v start="$1" 'index($0, start) == 1 { on = 1 } on && /^$/ { exit } on { printf "%s ", $0 }' "$readme"
}

# The indented block that follows the first line of README equal to $1 and
# the line after it equal to $2 (a blank line between each), without its
# four-blank indent.
block_after() {
  awk -v cmd="$1" -v word="$2" '
    state == 0 && $0 == cmd { state = 1; next }
    state == 1 && $0 == "" { next }
    state == 1 && $0 == word { state = 2; next }
    state == 1 { state = 0; next }
    state == 2 && $0 == "" { next }
    state == 2 && /^    / { state = 3 }
    state == 3 && /^    / { print substr($0, 5); next }
    state == 3 { exit }' "$readme"
}

# File names in backticks in a paragraph; "`x_00_00.txt` to `x_00_03.txt`"
# names every number between.
names_in() {
  local text="$1" folder="$2"
  grep -o '`[^`]*`\( to `[^`]*`\)\?' <<<"$text" | tr -d '`' | while read -r first to last; do
    if [ "$to" = "to" ]; then
      local stem=${first%_*} ext=${first##*.} a b
      a=${first##*_}; a=${a%%.*}; b=${last##*_}; b=${b%%.*}
      for ((i = 10#$a; i <= 10#$b; i++)); do printf '%s%s_%02d.%s\n' "$folder" "$stem" "$i" "$ext"; done
    elif [[ "$first" == *.* && "$first" != */ && "$first" != *" "* ]]; then
      printf '%s%s\n' "$folder" "$first"
    fi
  done
}

fresh_copy() {
  rm -rf "$work/run"
  mkdir -p "$work/run/examples"
  cp "$source_dir/examples/sample.cmp" "$source_dir/examples/sample.mat" "$work/run/examples/"
}

# Files below the run folder, less the two inputs, sorted.
files_written() {
  (cd "$work/run" && find . -type f ! -name sample.cmp ! -name sample.mat | sed 's|^\./||' | LC_ALL=C sort)
}

# --- the conversion of the sample ---------------------------------------
convert_cmd="    bodwright examples/sample.cmp examples/sample.mat"
expected_console=$(block_after "$convert_cmd" "prints")
[ -n "$expected_console" ] || fail "README shows no console lines after '$convert_cmd' and 'prints'"
banner=$(head -n 1 <<<"$expected_console")

fresh_copy
actual_console=$(cd "$work/run" && "$program" examples/sample.cmp examples/sample.mat)
status=$?
[ $status -eq 0 ] || fail "the sample's conversion ended with status $status"
if [ "$actual_console" != "$expected_console" ]; then
  fail "the sample's console lines differ from README's:"
  diff <(echo "$expected_console") <(echo "$actual_console")
fi
written_text=$(paragraph "and writes beside the model, in \`examples/\`:")
[ -n "$written_text" ] || fail "README names no files written by the sample's conversion"
expected_files=$(names_in "$written_text" examples/ | LC_ALL=C sort -u)
single_files=$(files_written)
if [ "$single_files" != "$expected_files" ]; then
  fail "the files the sample's conversion wrote differ from README's list:"
  diff <(echo "$expected_files") <(echo "$single_files")
fi

# --- the usage line, --help, --version ------------------------------------
usage=$(grep -o 'the usage line `[^`]*`' "$readme" | head -n 1 | sed 's/^the usage line `//; s/`$//')
[ -n "$usage" ] || fail "README shows no usage line"
actual=$(cd "$work" && "$program")
status=$?
[ $status -eq 2 ] || fail "without arguments the status is $status, README says 2"
[ "$actual" = "$(printf '%s\n%s' "$banner" "$usage")" ] ||
  fail "without arguments the program prints '$actual', README shows the banner and '$usage'"

actual=$("$program" --version)
status=$?
[ $status -eq 0 ] || fail "--version ended with status $status"
[ "$actual" = "$banner" ] || fail "--version prints '$actual', README's banner is '$banner'"

for arg in --help -h '/?'; do
  help=$("$program" "$arg")
  status=$?
  [ $status -eq 0 ] || fail "$arg ended with status $status"
  [ "$(head -n 1 <<<"$help")" = "$banner" ] || fail "$arg does not begin with the banner"
  # README: the whole command line, where the settings file is looked for,
  # and where this README is.
  grep -q -- "--version" <<<"$help" || fail "$arg does not give the whole command line"
  grep -qF "${program%.exe}.ini" <<<"$help" || fail "$arg does not name the settings file beside the program"
  grep -q "README" <<<"$help" || fail "$arg does not say where README is"
done

# --- the demo's listing ----------------------------------------------------
# The demo target's own script, as `cmake --workflow --preset demo` runs it:
# its listing names the files written beside the two copied inputs.
demo_out="$work/demo"
listing=$(cmake -DPROGRAM="$program" -DSAMPLE_DIR="$source_dir/examples" -DOUT_DIR="$demo_out" \
          -P "$source_dir/examples/run_demo.cmake" 2>&1)
status=$?
[ $status -eq 0 ] || fail "the demo's script ended with status $status"
listed=$(sed -n 's/^  \([^ ]*\)  ([0-9]* bytes)$/examples\/\1/p' <<<"$listing" |
         grep -v -e '^examples/sample\.cmp$' -e '^examples/sample\.mat$' | LC_ALL=C sort)
if [ "$listed" != "$expected_files" ]; then
  fail "the demo's listing differs from README's list of the sample's files:"
  diff <(echo "$expected_files") <(echo "$listed")
fi
grep -qF "$(head -n 2 <<<"$expected_console" | tail -n 1)" <<<"$listing" ||
  fail "the demo does not print README's console lines"

# --- a folder run of a copy of examples/ -----------------------------------
folder_text=$(paragraph "Each model converts as its own run would;")
[ -n "$folder_text" ] || fail "README shows no folder run of examples/"
fresh_copy
folder_console=$(cd "$work/run" && "$program" examples)
status=$?
[ $status -eq 0 ] || fail "the folder run ended with status $status"
# Every console line README quotes for it ("== ... ==" and indented lines).
while IFS= read -r line; do
  grep -qxF -- "$line" <<<"$folder_console" || fail "the folder run prints no line '$line'"
done < <(grep -o '`\(==\|  \)[^`]*`' <<<"$folder_text" | tr -d '`')
# The sample's own lines, under its heading.
sample_lines=$(sed -n '/^== examples\/sample.cmp ==$/,/^$/p' <<<"$folder_console" | sed '1d;$d')
[ "$sample_lines" = "$(tail -n +2 <<<"$expected_console")" ] ||
  fail "the folder run's lines for the sample differ from the single run's"
page=$(grep -o 'the page `[^`]*`' <<<"$folder_text" | sed 's/^the page `//; s/`$//')
[ -n "$page" ] || fail "README names no page for the folder run"
expected_folder=$( (echo "$expected_files"; echo "$page") | LC_ALL=C sort)
folder_files=$(files_written)
if [ "$folder_files" != "$expected_folder" ]; then
  fail "the files the folder run wrote differ from README's:"
  diff <(echo "$expected_folder") <(echo "$folder_files")
fi

if [ $failures -ne 0 ]; then
  echo "$failures difference(s) between README and $1"
  exit 1
fi
echo "README's quick blocks hold for $1"
