#!/bin/sh
# Writes the seed corpora in fuzz/corpus/ afresh from the kit's own writers and stock data:
#   fuzz/make-corpus.sh BUILD-FOLDER   (a normal build; fuzz_seed_writer is built on demand)
# Regression inputs (files named crash-*, leak-*, timeout-*, oom-*, slow-*) are kept.
set -eu
build=${1:?usage: make-corpus.sh BUILD-FOLDER}
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
corpus=$here/corpus

cmake --build "$build" --target fuzz_seed_writer >/dev/null
for area in "$corpus"/*/; do
  [ -d "$area" ] || continue
  find "$area" -type f ! -name 'crash-*' ! -name 'leak-*' ! -name 'timeout-*' \
    ! -name 'oom-*' ! -name 'slow-*' -delete
done
"$build/fuzz/fuzz_seed_writer" "$corpus"

mkdir -p "$corpus/language_text" "$corpus/layout" "$corpus/rtf_reader" "$corpus/picture" \
  "$corpus/icon"
cp "$root/data/layout/install/icon.ico" "$corpus/icon/stock.ico"
for set in install uninstall; do
  for f in "$root"/data/languages/$set/*.wri; do
    cp "$f" "$corpus/language_text/$set-$(basename "$f")"
  done
  for f in "$root"/data/layout/$set/*.txt; do
    cp "$f" "$corpus/layout/$set-$(basename "$f")"
  done
done
for sample in "$root"/samples/*/; do
  cp "$sample/Changes.rtf" "$corpus/rtf_reader/$(basename "$sample").rtf"
done
# The picture harness takes the first byte as the choice of file name: 0 .jpg, 2 .ico.
{ printf '\000'; cat "$root/data/layout/install/side.jpg"; } >"$corpus/picture/side-jpg"
{ printf '\002'; cat "$root/data/layout/install/icon.ico"; } >"$corpus/picture/icon-ico"
# Zone files of the system's time-zone data (the runtime reads them for local time), and rules.
mkdir -p "$corpus/tzif"
for zone in Asia/Kolkata Australia/Lord_Howe Europe/Prague; do
  cp "/usr/share/zoneinfo/$zone" "$corpus/tzif/$(basename "$zone" | tr 'A-Z' 'a-z')"
done
printf 'CET-1CEST,M3.5.0,M10.5.0/3' >"$corpus/tzif/rule-cet"
printf '<+1030>-10:30<+11>-11,M10.1.0,M4.1.0' >"$corpus/tzif/rule-lord-howe"
