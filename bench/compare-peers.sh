#!/bin/sh
# Times setupc and the installer against their peers on two deterministic trees, checks that
# every installed tree equals its source, and prints every ratio in one table per tree.
#
#   bench/compare-peers.sh [BUILD_DIR]     (default BUILD_DIR: ./build)
#
# The trees are made by bench/make-bench-tree.py from files every Debian 12 machine has: the
# mixed tree (about 160 MB of headers, documents, compressed files and libraries) and the text
# tree (about 70 MB in 4,000 small Python, Perl and JavaScript files, as a program of a scripting
# language ships); files whose content repeats or whose path differs from another only in letter
# case are left out. The peers (nsis, zip, libarchive-tools, unzip, hyperfine, gnuplot, zstd,
# xz-utils) are installed from Debian when missing and only run as programs. Per tree, one
# hyperfine run times compiling, side by side:
#   setupc         packing the tree with one `file` line (zlib per entry), on every core
#   setupc -j1     the same on one core (same bytes, checked)
#   setupc solid   the same with `compression solid` (zstd over solid blocks; same bytes on one
#                  core, checked)
#   setupc lzma    the same with `compression solid lzma` (LZMA over solid blocks; same bytes on
#                  one core, checked)
#   makensis       SetCompressor zlib (per-file deflate), with an uninstaller, as setupc's
#                  installer carries one (its pages and finaliser)
#   makensis solid SetCompressor /SOLID lzma, with the uninstaller
#   zip -9 -r
#   tar | zstd -19 --long=27 -T0, tar | xz -9 -T0
# and one times installing the same tree into tmpfs (/dev/shm):
#   setup          the installers setupc made (zlib, solid, solid lzma) with the real runtime, run
#                  --unattended, verification included
#   bsdtar -xf     a tar of the tree
#   tar -xJf, tar --zstd -xf   the xz and zstd tars
#   unzip          the zip -9 of the tree
# /usr/bin/time -v gives each installer's peak memory; `diff -r` proves each installed tree
# equals the source byte for byte (the script fails when one does not).
#
# Results in the work folder ($BENCH_WORK, default $TMPDIR/setupkit-compare-peers): the tables
# as results.md, the hyperfine JSON, and a PNG chart of the times per tree (also copied to
# $BENCH_CHART_DIR when that is set). BENCH_RUNS and BENCH_WARMUP set the hyperfine runs
# (default 3 and 1); BENCH_TREES the trees to run (default "mixed text").
set -eu

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-"$ROOT/build"}
SETUPC="$BUILD/bin/setupc"
SETUP="$BUILD/bin/setup"
WORK=${BENCH_WORK:-"${TMPDIR:-/tmp}/setupkit-compare-peers"}
RUNS=${BENCH_RUNS:-3}
WARMUP=${BENCH_WARMUP:-1}

for program in "$SETUPC" "$SETUP"; do
  if [ ! -x "$program" ]; then
    echo "$program not found (build first: scripts/build.sh)" >&2
    exit 1
  fi
done

# --- peers -----------------------------------------------------------------------------------
need=""
command -v makensis >/dev/null 2>&1 || need="$need nsis"
command -v zip >/dev/null 2>&1 || need="$need zip"
command -v hyperfine >/dev/null 2>&1 || need="$need hyperfine"
command -v bsdtar >/dev/null 2>&1 || need="$need libarchive-tools"
command -v unzip >/dev/null 2>&1 || need="$need unzip"
command -v gnuplot >/dev/null 2>&1 || need="$need gnuplot-nox"
command -v zstd >/dev/null 2>&1 || need="$need zstd"
command -v xz >/dev/null 2>&1 || need="$need xz-utils"
[ -x /usr/bin/time ] || need="$need time"
if [ -n "$need" ]; then
  if [ "$(id -u)" = 0 ]; then SUDO=""; else SUDO="sudo"; fi
  echo "Installing:$need"
  $SUDO apt-get update -qq
  # shellcheck disable=SC2086
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends $need \
    >/dev/null
fi

# --- trees -----------------------------------------------------------------------------------
# The marker names the generator's version: trees from an older generator are made again.
if [ ! -f "$WORK/trees-v3.done" ]; then
  echo "Building the benchmark trees in $WORK"
  rm -rf "$WORK"
  mkdir -p "$WORK/mixed/tree" "$WORK/text/tree"
  python3 "$ROOT/bench/make-bench-tree.py" "$WORK/mixed/tree" mixed
  python3 "$ROOT/bench/make-bench-tree.py" "$WORK/text/tree" text
  touch "$WORK/trees-v3.done"
fi
printf 'x' >"$WORK/runtime.bin"
export SETUP_ROOT="$WORK/setup-root"
# The installs are thrown away without their uninstaller: no desktop entries in the real home.
export SETUP_NO_DESKTOP_ENTRIES=1
MACHINE="$(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//'),"
MACHINE="$MACHINE $(free -g | awk '/Mem:/ {print $2}') GiB, $(uname -sr)"
rm -f "$WORK/results.md"
SHM=/dev/shm/setupkit-compare-peers

# Installs INSTALLER into tmpfs under /usr/bin/time -v (its report in REPORT) and checks the
# installed tree against TREE: the only extra files are the installer's own five (the
# uninstaller, its icons, the install log and the log's checksum).
check_install() {
  installer=$1 tree=$2 report=$3
  rm -rf "$SHM/setup" "$SHM/root"
  SETUP_ROOT="$SHM/root" /usr/bin/time -v "$installer" --unattended --dir="$SHM/setup" \
    >/dev/null 2>"$report"
  { diff -r "$tree" "$SHM/setup" 2>&1 || true; } | sort >"$report.diff"
  printf 'Only in %s: %s\n' "$SHM/setup" Uninstall.exe "$SHM/setup" Uninstall.ico \
    "$SHM/setup" Uninstall.png "$SHM/setup" install.log "$SHM/setup" install.log.sum |
    sort >"$report.expected"
  if ! cmp -s "$report.diff" "$report.expected"; then
    echo "FAILED: the tree $installer installed differs from its source:" >&2
    diff "$report.expected" "$report.diff" | head -20 >&2
    exit 1
  fi
  echo "$(basename "$installer"): installed tree equals the source, contents compared"
}

# The words after `compression` for each coding the bench packs with.
compression_of() {
  case $1 in
    lzma) echo "solid lzma" ;;
    *) echo "$1" ;;
  esac
}

# Packs, installs and compares one tree: KIND (mixed or text), in $WORK/KIND.
bench_tree() {
  kind=$1
  DIR="$WORK/$kind"
  TREE="$DIR/tree"
  files=$(find "$TREE" -type f | wc -l)
  bytes=$(du -sb "$TREE" | cut -f1)
  largest=$(find "$TREE" -type f -printf '%s\n' | sort -n | tail -1)
  echo "Tree $kind: $files files, $bytes bytes, largest file $largest bytes"

  rm -rf "$DIR/out"
  mkdir -p "$DIR/out" "$WORK/setup-root"
  # setupc reads Windows paths; the tree is reached through drive Z:, which maps to /.
  ZTREE=$(printf 'Z:%s\\' "$TREE" | tr '/' '\\')
  for coding in zlib solid lzma; do
    printf 'name "Benchmark"\r\noutfile bench-%s.exe\r\ninstalldir "$PROGRAMFILES\\Benchmark\\"\r\nuninstallpages uninstall\r\ncompression %s\r\nfile "%s"\r\n' \
      "$coding" "$(compression_of "$coding")" "$ZTREE" >"$DIR/bench-$coding.sus"
    "$SETUPC" --runtime "$WORK/runtime.bin" -o "$DIR/out" -j1 "$DIR/bench-$coding.sus"
    cp "$DIR/out/bench-$coding.exe" "$DIR/out/bench-$coding-j1.exe"
    "$SETUPC" --runtime "$WORK/runtime.bin" -o "$DIR/out" "$DIR/bench-$coding.sus"
    if ! cmp -s "$DIR/out/bench-$coding.exe" "$DIR/out/bench-$coding-j1.exe"; then
      echo "FAILED: setupc ($coding) on one core and on all cores wrote different bytes" >&2
      exit 1
    fi
    echo "setupc ($coding): one core and all cores give the same bytes"
  done
  for name in nsis nsis-solid; do
    if [ "$name" = nsis ]; then compressor=zlib; else compressor="/SOLID lzma"; fi
    cat >"$DIR/$name.nsi" <<EOF
SetCompressor $compressor
OutFile "$DIR/out/bench-$name.exe"
InstallDir "\$PROGRAMFILES\\Benchmark"
RequestExecutionLevel user
Section
  SetOutPath "\$INSTDIR"
  File /r "$TREE/*"
  WriteUninstaller "\$INSTDIR\\Uninstall.exe"
SectionEnd
Section "Uninstall"
  RMDir /r "\$INSTDIR"
SectionEnd
EOF
  done

  load_before=$(cut -d' ' -f1-3 /proc/loadavg)
  hyperfine --warmup "$WARMUP" --runs "$RUNS" --export-json "$DIR/compile.json" \
    -n setupc "$SETUPC --runtime $WORK/runtime.bin -o $DIR/out $DIR/bench-zlib.sus" \
    -n "setupc -j1" "$SETUPC --runtime $WORK/runtime.bin -o $DIR/out -j1 $DIR/bench-zlib.sus" \
    -n "setupc solid" "$SETUPC --runtime $WORK/runtime.bin -o $DIR/out $DIR/bench-solid.sus" \
    -n "setupc lzma" "$SETUPC --runtime $WORK/runtime.bin -o $DIR/out $DIR/bench-lzma.sus" \
    -n makensis "makensis -V1 $DIR/nsis.nsi" \
    -n "makensis solid" "makensis -V1 $DIR/nsis-solid.nsi" \
    -n "zip -9" "rm -f $DIR/out/bench.zip && cd $DIR && zip -9 -r -q $DIR/out/bench.zip tree" \
    -n "tar zstd -19" "tar -cf - -C $DIR tree | zstd -q -19 --long=27 -T0 -f -o $DIR/out/bench.tar.zst" \
    -n "tar xz -9" "tar -cf - -C $DIR tree | xz -9 -T0 >$DIR/out/bench.tar.xz"

  # --- installing the tree -------------------------------------------------------------------
  rm -rf "$SHM"
  mkdir -p "$SHM"
  # The installers need wizard pages to press Next through; like makensis's they write an
  # uninstaller (and so an install log).
  for coding in zlib solid lzma; do
    printf 'name "Benchmark"\r\noutfile Install-%s.exe\r\ninstalldir "C:\\Bench\\"\r\npages install\r\nuninstallpages uninstall\r\nlanguage install\\english\r\ncompression %s\r\nfile "%s"\r\n' \
      "$coding" "$(compression_of "$coding")" "$ZTREE" >"$DIR/install-$coding.sus"
    "$SETUPC" -q -o "$DIR/out" "$DIR/install-$coding.sus"
  done
  (cd "$DIR" && tar -cf "$DIR/out/bench.tar" tree)

  hyperfine --warmup "$WARMUP" --runs "$RUNS" --export-json "$DIR/install.json" \
    -n "setup" --prepare "rm -rf $SHM/setup $SHM/root" \
    "SETUP_ROOT=$SHM/root $DIR/out/Install-zlib.exe --unattended --dir=$SHM/setup >/dev/null 2>&1" \
    -n "setup solid" --prepare "rm -rf $SHM/setup $SHM/root" \
    "SETUP_ROOT=$SHM/root $DIR/out/Install-solid.exe --unattended --dir=$SHM/setup >/dev/null 2>&1" \
    -n "setup lzma" --prepare "rm -rf $SHM/setup $SHM/root" \
    "SETUP_ROOT=$SHM/root $DIR/out/Install-lzma.exe --unattended --dir=$SHM/setup >/dev/null 2>&1" \
    -n "bsdtar -xf" --prepare "rm -rf $SHM/tar && mkdir -p $SHM/tar" \
    "bsdtar -xf $DIR/out/bench.tar -C $SHM/tar" \
    -n "tar -xJf" --prepare "rm -rf $SHM/tar && mkdir -p $SHM/tar" \
    "tar -xJf $DIR/out/bench.tar.xz -C $SHM/tar" \
    -n "tar --zstd -xf" --prepare "rm -rf $SHM/tar && mkdir -p $SHM/tar" \
    "tar --zstd -xf $DIR/out/bench.tar.zst -C $SHM/tar" \
    -n "unzip" --prepare "rm -rf $SHM/zip && mkdir -p $SHM/zip" \
    "unzip -q -o $DIR/out/bench.zip -d $SHM/zip"
  load_after=$(cut -d' ' -f1-3 /proc/loadavg)

  for coding in zlib solid lzma; do
    check_install "$DIR/out/Install-$coding.exe" "$TREE" "$DIR/install-time-$coding.txt"
  done
  rm -rf "$SHM"

  python3 "$ROOT/bench/peer-table.py" "$DIR" "$kind" "$largest" "$files" "$bytes" "$MACHINE" \
    "$load_before" "$load_after" >>"$WORK/results.md"

  CHART="$DIR/compare-peers.png"
  gnuplot <<EOF
set terminal pngcairo size 900,380 font ",9"
set output "$CHART"
set title "Packing and unpacking the $kind tree (mean of $RUNS runs)"
set ylabel "seconds"
set style fill solid 0.8 border -1
set boxwidth 0.6
set grid ytics
set yrange [0:*]
set xtics nomirror rotate by -30
unset key
plot "$DIR/times.dat" using 0:2:xtic(1) with boxes lc rgb "#4477aa", \
     "" using 0:2:(sprintf("%.1f", \$2)) with labels offset 0,0.7
EOF
  if [ -n "${BENCH_CHART_DIR:-}" ]; then cp "$CHART" "$BENCH_CHART_DIR/compare-peers-$kind.png"; fi
  echo "chart: $CHART"
}

for kind in ${BENCH_TREES:-mixed text}; do
  bench_tree "$kind"
done
cat "$WORK/results.md"
