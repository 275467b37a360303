#!/bin/sh
# Times setupc and the installer against their peers on one deterministic tree of about 160 MB,
# checks that the installed tree equals its source, and prints every ratio in one table.
#
#   bench/compare-peers.sh [BUILD_DIR]     (default BUILD_DIR: ./build)
#
# The tree is made by bench/make-bench-tree.py from files every Debian 12 machine has; files
# whose content repeats or whose path differs from another only in letter case are left out.
# The peers (nsis, zip, libarchive-tools, unzip, hyperfine, gnuplot) are installed from Debian
# when missing and only run as programs. One hyperfine run times compiling:
#   setupc        packing the tree with one `file` line, on every core
#   setupc -j1    the same on one core (same bytes, checked)
#   makensis      SetCompressor zlib (non-solid: per-file deflate, like setupc), with an
#                 uninstaller, as setupc's installer carries one (its pages and finaliser)
#   zip -9 -r
# and one times installing the same tree into tmpfs (/dev/shm):
#   setup --unattended   the installer setupc made with the real runtime, verification included
#   bsdtar -xf           a tar of the tree
#   unzip                the zip -9 of the tree
# /usr/bin/time -v gives the installer's peak memory; `diff -r` proves the installed tree equals
# the source byte for byte (the script fails when it does not).
#
# Results in the work folder ($BENCH_WORK, default $TMPDIR/setupkit-compare-peers): the table
# as results.md, the hyperfine JSON, and a PNG chart of the times (also written to $BENCH_CHART
# when that is set). BENCH_RUNS and BENCH_WARMUP set the hyperfine runs (default 3 and 1).
set -eu

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-"$ROOT/build"}
SETUPC="$BUILD/bin/setupc"
SETUP="$BUILD/bin/setup"
WORK=${BENCH_WORK:-"${TMPDIR:-/tmp}/setupkit-compare-peers"}
TREE="$WORK/tree"
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
[ -x /usr/bin/time ] || need="$need time"
if [ -n "$need" ]; then
  if [ "$(id -u)" = 0 ]; then SUDO=""; else SUDO="sudo"; fi
  echo "Installing:$need"
  $SUDO apt-get update -qq
  # shellcheck disable=SC2086
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends $need \
    >/dev/null
fi

# --- tree ------------------------------------------------------------------------------------
# The marker names the generator's version: a tree from an older generator is made again.
if [ ! -f "$WORK/tree-v2.done" ]; then
  echo "Building the benchmark tree in $TREE"
  rm -rf "$WORK"
  mkdir -p "$TREE"
  python3 "$ROOT/bench/make-bench-tree.py" "$TREE"
  touch "$WORK/tree-v2.done"
fi
files=$(find "$TREE" -type f | wc -l)
bytes=$(du -sb "$TREE" | cut -f1)
largest=$(find "$TREE" -type f -printf '%s\n' | sort -n | tail -1)
echo "Tree: $files files, $bytes bytes, largest file $largest bytes"

# --- inputs for the three packers -------------------------------------------------------------
rm -rf "$WORK/out"
mkdir -p "$WORK/out" "$WORK/setup-root"
# setupc reads Windows paths; the tree is reached through drive Z:, which maps to /.
ZTREE=$(printf 'Z:%s\\' "$TREE" | tr '/' '\\')
printf 'name "Benchmark"\r\noutfile bench-setupc.exe\r\nuninstallpages uninstall\r\nfile "%s"\r\n' "$ZTREE" \
  >"$WORK/bench.sus"
printf 'x' >"$WORK/runtime.bin"
cat >"$WORK/bench.nsi" <<EOF
SetCompressor zlib
OutFile "$WORK/out/bench-nsis.exe"
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

export SETUP_ROOT="$WORK/setup-root"
# The installs are thrown away without their uninstaller: no desktop entries in the real home.
export SETUP_NO_DESKTOP_ENTRIES=1
SETUPC_CMD="$SETUPC --runtime $WORK/runtime.bin -o $WORK/out $WORK/bench.sus"
"$SETUPC" --runtime "$WORK/runtime.bin" -o "$WORK/out" -j1 "$WORK/bench.sus"
cp "$WORK/out/bench-setupc.exe" "$WORK/out/bench-setupc-j1.exe"
$SETUPC_CMD
if ! cmp -s "$WORK/out/bench-setupc.exe" "$WORK/out/bench-setupc-j1.exe"; then
  echo "FAILED: setupc on one core and on all cores wrote different bytes" >&2
  exit 1
fi
echo "setupc: one core and all cores give the same bytes"

load_before=$(cut -d' ' -f1-3 /proc/loadavg)
hyperfine --warmup "$WARMUP" --runs "$RUNS" --export-json "$WORK/compile.json" \
  -n setupc "$SETUPC_CMD" \
  -n "setupc -j1" "$SETUPC --runtime $WORK/runtime.bin -o $WORK/out -j1 $WORK/bench.sus" \
  -n makensis "makensis -V1 $WORK/bench.nsi" \
  -n "zip -9" "rm -f $WORK/out/bench.zip && cd $WORK && zip -9 -r -q $WORK/out/bench.zip tree"

# --- installing the tree ---------------------------------------------------------------------
SHM=/dev/shm/setupkit-compare-peers
rm -rf "$SHM"
mkdir -p "$SHM"
# The installer needs wizard pages to press Next through.
printf 'name "Benchmark"\r\noutfile BenchInstall.exe\r\ninstalldir "C:\\Bench\\"\r\npages install\r\nlanguage install\\english\r\nfile "%s"\r\n' \
  "$ZTREE" >"$WORK/install.sus"
"$SETUPC" -o "$WORK/out" "$WORK/install.sus"
INSTALLER="$WORK/out/BenchInstall.exe"
(cd "$WORK" && tar -cf "$WORK/out/bench.tar" tree)

INSTALL_CMD="SETUP_ROOT=$SHM/root $INSTALLER --unattended --dir=$SHM/setup >/dev/null 2>&1"
hyperfine --warmup "$WARMUP" --runs "$RUNS" --export-json "$WORK/install.json" \
  -n "setup --unattended" --prepare "rm -rf $SHM/setup $SHM/root" "$INSTALL_CMD" \
  -n "bsdtar -xf" --prepare "rm -rf $SHM/tar && mkdir -p $SHM/tar" \
  "bsdtar -xf $WORK/out/bench.tar -C $SHM/tar" \
  -n "unzip" --prepare "rm -rf $SHM/zip && mkdir -p $SHM/zip" \
  "unzip -q -o $WORK/out/bench.zip -d $SHM/zip"
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

rm -rf "$SHM/setup" "$SHM/root"
SETUP_ROOT="$SHM/root" /usr/bin/time -v "$INSTALLER" --unattended --dir="$SHM/setup" \
  >/dev/null 2>"$WORK/install-time.txt"
# The installed tree must be the source, content for content, with nothing missing; the only
# extra files are the four the installer adds of its own (the uninstaller, its two icons and the
# install log), and those must be there.
{ diff -r "$TREE" "$SHM/setup" 2>&1 || true; } | sort >"$WORK/install-diff.txt"
printf 'Only in %s: %s\n' "$SHM/setup" Uninstall.exe "$SHM/setup" Uninstall.ico \
  "$SHM/setup" Uninstall.png "$SHM/setup" install.log | sort >"$WORK/install-diff-expected.txt"
if ! cmp -s "$WORK/install-diff.txt" "$WORK/install-diff-expected.txt"; then
  echo "FAILED: the installed tree differs from its source:" >&2
  diff "$WORK/install-diff-expected.txt" "$WORK/install-diff.txt" | head -20 >&2
  exit 1
fi
installed=$(($(find "$SHM/setup" -type f | wc -l) - 4))
echo "installed tree equals the source: $installed of $files files, contents compared"
rm -rf "$SHM"

# --- one table, the chart --------------------------------------------------------------------
MACHINE="$(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//'),"
MACHINE="$MACHINE $(free -g | awk '/Mem:/ {print $2}') GiB, $(uname -sr)"
python3 - "$WORK" "$largest" "$files" "$bytes" "$MACHINE" "$load_before" "$load_after" <<'EOF'
import datetime, json, os, re, sys
work, largest, files, tree_bytes, machine, load_before, load_after = sys.argv[1:8]
largest, files, tree_bytes = int(largest), int(files), int(tree_bytes)

def times(name):
    results = json.load(open(os.path.join(work, name)))["results"]
    return {r["command"]: r for r in results}

compile_t, install_t = times("compile.json"), times("install.json")
mean = lambda table, name: table[name]["mean"]
cpu = lambda table, name: table[name]["user"] + table[name]["system"]
size = lambda name: os.path.getsize(os.path.join(work, "out", name))
setupc_size = size("bench-setupc.exe") - 1  # minus the one-byte stand-in runtime
nsis_size = size("bench-nsis.exe")
zip_size = size("bench.zip")
peak_kb = 0
for line in open(os.path.join(work, "install-time.txt")):
    m = re.search(r"Maximum resident set size \(kbytes\): (\d+)", line)
    if m:
        peak_kb = int(m.group(1))
mib = 1 << 20
budget = 3 * largest + 64 * mib

rows = []  # measure, setupkit, peer, ratio, target (None: none)
def row(measure, ours, peer, ratio, target=None):
    rows.append((measure, ours, peer, ratio, target))
def secs(table, name):
    return f"{mean(table, name):.2f} s (cpu {cpu(table, name):.2f} s)"

row("compile, all cores", "setupc " + secs(compile_t, "setupc"), "makensis zlib " + secs(compile_t, "makensis"),
    mean(compile_t, "setupc") / mean(compile_t, "makensis"), 0.25)
row("compile, all cores", "setupc " + secs(compile_t, "setupc"), "zip -9 " + secs(compile_t, "zip -9"),
    mean(compile_t, "setupc") / mean(compile_t, "zip -9"))
row("compile, one core", "setupc -j1 " + secs(compile_t, "setupc -j1"), "makensis zlib " + secs(compile_t, "makensis"),
    mean(compile_t, "setupc -j1") / mean(compile_t, "makensis"))
row("package size", f"{setupc_size:,} B", f"makensis {nsis_size:,} B", setupc_size / nsis_size, 1.0)
row("package size", f"{setupc_size:,} B", f"zip -9 {zip_size:,} B", setupc_size / zip_size)
row("install into tmpfs", "setup --unattended " + secs(install_t, "setup --unattended"),
    "bsdtar -xf " + secs(install_t, "bsdtar -xf"),
    mean(install_t, "setup --unattended") / mean(install_t, "bsdtar -xf"), 1.0)
row("install into tmpfs", "setup --unattended " + secs(install_t, "setup --unattended"),
    "unzip " + secs(install_t, "unzip"),
    mean(install_t, "setup --unattended") / mean(install_t, "unzip"))
row("peak memory of the install", f"{peak_kb / 1024:.1f} MiB",
    f"3 x largest entry + 64 MiB = {budget / mib:.1f} MiB", peak_kb * 1024 / budget, 1.0)

lines = [
    f"Tree: {files:,} files, {tree_bytes:,} bytes, largest file {largest:,} bytes; "
    f"installed tree equal to the source (diff -r).",
    f"Machine: {machine}; load average {load_before} before, {load_after} after; "
    f"{datetime.date.today().isoformat()}.",
    "",
    "| measure | setupkit | peer | ratio | target | met |",
    "|---|---|---|---|---|---|",
]
for measure, ours, peer, ratio, target in rows:
    goal = f"<= {target:g}" if target is not None else ""
    met = "" if target is None else ("yes" if ratio <= target else "NO")
    lines.append(f"| {measure} | {ours} | {peer} | {ratio:.3f} | {goal} | {met} |")
text = "\n".join(lines)
print()
print(text)
open(os.path.join(work, "results.md"), "w").write(text + "\n")

with open(os.path.join(work, "times.dat"), "w") as out:
    for label, table, name in (("setupc", compile_t, "setupc"), ("makensis", compile_t, "makensis"),
                               ("zip -9", compile_t, "zip -9"), ("setup", install_t, "setup --unattended"),
                               ("bsdtar", install_t, "bsdtar -xf"), ("unzip", install_t, "unzip")):
        out.write(f'"{label}" {mean(table, name):.3f}\n')
EOF

CHART="$WORK/compare-peers.png"
gnuplot <<EOF
set terminal pngcairo size 640,360 font ",10"
set output "$CHART"
set title "Packing and unpacking the benchmark tree (mean of $RUNS runs)"
set ylabel "seconds"
set style fill solid 0.8 border -1
set boxwidth 0.6
set grid ytics
set yrange [0:*]
set xtics nomirror
unset key
plot "$WORK/times.dat" using 0:2:xtic(1) with boxes lc rgb "#4477aa", \
     "" using 0:2:(sprintf("%.2f", \$2)) with labels offset 0,0.7
EOF
if [ -n "${BENCH_CHART:-}" ]; then cp "$CHART" "$BENCH_CHART"; fi
echo "chart: $CHART"
