#!/bin/sh
# Times setupc against its peers on one deterministic tree of about 150 MB and prints the ratios.
#
#   bench/compare-peers.sh [BUILD_DIR]     (default BUILD_DIR: ./build)
#
# The tree is made from files every Debian 12 machine has: C/C++ headers from /usr/include, text
# from /usr/share/doc, .gz and .png files from /usr/share and a few dozen shared libraries of
# 0.3 to 8 MB from /usr/lib/x86_64-linux-gnu. Each kind is taken in sorted path order up to its
# share, and no two files have the same content. The peers (nsis, zip, hyperfine) are installed
# from Debian when missing. One hyperfine run times:
#   setupc        packing the tree with one `file` line, on every core
#   setupc -j1    the same on one core (same bytes)
#   makensis      SetCompressor zlib (non-solid: per-file deflate, like setupc)
#   zip -9 -r
# Results: a table, the hyperfine JSON and the output sizes in the work folder.
#
# A second hyperfine run times installing the same tree into tmpfs (/dev/shm):
#   setup --unattended   the installer setupc made with the real runtime, verification included,
#                        into a SETUP_ROOT on tmpfs
#   bsdtar -xf           a tar of the tree
#   unzip                the zip -9 of the tree
# and /usr/bin/time -v reports the installer's peak memory.
set -eu

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-"$ROOT/build"}
SETUPC="$BUILD/bin/setupc"
WORK=${BENCH_WORK:-"${TMPDIR:-/tmp}/setupkit-compare-peers"}
TREE="$WORK/tree"

if [ ! -x "$SETUPC" ]; then
  echo "setupc not found at $SETUPC (build first: scripts/build.sh)" >&2
  exit 1
fi

# --- peers -----------------------------------------------------------------------------------
need=""
command -v makensis >/dev/null 2>&1 || need="$need nsis"
command -v zip >/dev/null 2>&1 || need="$need zip"
command -v hyperfine >/dev/null 2>&1 || need="$need hyperfine"
command -v bsdtar >/dev/null 2>&1 || need="$need libarchive-tools"
command -v unzip >/dev/null 2>&1 || need="$need unzip"
[ -x /usr/bin/time ] || need="$need time"
if [ -n "$need" ]; then
  if [ "$(id -u)" = 0 ]; then SUDO=""; else SUDO="sudo"; fi
  echo "Installing:$need"
  $SUDO apt-get update -qq
  # shellcheck disable=SC2086
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq $need >/dev/null
fi

# --- tree ------------------------------------------------------------------------------------
if [ ! -f "$WORK/tree.done" ]; then
  echo "Building the benchmark tree in $TREE"
  rm -rf "$WORK"
  mkdir -p "$TREE"
  python3 - "$TREE" <<'EOF'
import hashlib, os, shutil, sys
tree = sys.argv[1]
seen = set()

def files(top, accept, max_depth=None):
    found = []
    for folder, dirs, names in os.walk(top):
        if max_depth is not None and folder[len(top):].count("/") >= max_depth:
            dirs[:] = []
        for name in names:
            path = os.path.join(folder, name)
            if os.path.isfile(path) and not os.path.islink(path) and accept(path):
                found.append(path)
    return sorted(found)

def pick(paths, share):
    """Copies files in sorted order, skipping content already taken, until `share` bytes."""
    taken = 0
    for path in paths:
        if taken >= share:
            break
        try:
            data = open(path, "rb").read()
        except OSError:
            continue
        digest = hashlib.sha1(data).digest()
        if digest in seen:
            continue
        seen.add(digest)
        target = tree + path
        os.makedirs(os.path.dirname(target), exist_ok=True)
        shutil.copyfile(path, target)
        taken += len(data)

pick(files("/usr/include", lambda p: p.endswith((".h", ".hpp", ".tcc")) or "c++" in p), 45e6)
pick(files("/usr/share/doc", lambda p: not p.endswith(".gz")), 15e6)
pick(files("/usr/share", lambda p: p.endswith((".gz", ".png"))), 40e6)
libs = files("/usr/lib/x86_64-linux-gnu", lambda p: ".so" in os.path.basename(p) and
             300e3 <= os.path.getsize(p) <= 8e6, max_depth=0)
pick(libs[::3], 50e6)  # every third library in sorted order, to spread the sizes
EOF
  touch "$WORK/tree.done"
fi
files=$(find "$TREE" -type f | wc -l)
bytes=$(du -sb "$TREE" | cut -f1)
echo "Tree: $files files, $bytes bytes"

# --- inputs for the three packers -------------------------------------------------------------
mkdir -p "$WORK/out"
# setupc reads Windows paths; the tree is reached through drive Z:, which maps to /.
mkdir -p "$WORK/setup-root"
ZTREE=$(printf 'Z:%s\\' "$TREE" | tr '/' '\\')
printf 'name "Benchmark"\r\noutfile bench-setupc.exe\r\nfile "%s"\r\n' "$ZTREE" \
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
SectionEnd
EOF

export SETUP_ROOT="$WORK/setup-root"
SETUPC_CMD="$SETUPC --runtime $WORK/runtime.bin -o $WORK/out $WORK/bench.sus"
"$SETUPC" --runtime "$WORK/runtime.bin" -o "$WORK/out" -j1 "$WORK/bench.sus"
cp "$WORK/out/bench-setupc.exe" "$WORK/out/bench-setupc-j1.exe"
$SETUPC_CMD
if cmp -s "$WORK/out/bench-setupc.exe" "$WORK/out/bench-setupc-j1.exe"; then
  echo "setupc: one core and all cores give the same bytes"
else
  echo "setupc: one core and all cores DIFFER" >&2
  exit 1
fi

hyperfine --warmup 1 --runs "${BENCH_RUNS:-3}" --export-json "$WORK/results.json" \
  -n setupc "$SETUPC_CMD" \
  -n "setupc -j1" "$SETUPC --runtime $WORK/runtime.bin -o $WORK/out -j1 $WORK/bench.sus" \
  -n makensis "makensis -V1 $WORK/bench.nsi" \
  -n "zip -9" "rm -f $WORK/out/bench.zip && cd $WORK && zip -9 -r -q $WORK/out/bench.zip tree"

python3 - "$WORK" <<'EOF'
import json, os, sys
work = sys.argv[1]
results = {r["command"]: r["mean"] for r in json.load(open(os.path.join(work, "results.json")))["results"]}
size = lambda name: os.path.getsize(os.path.join(work, "out", name))
setupc_size = size("bench-setupc.exe") - 1  # minus the one-byte stand-in runtime
nsis_size = size("bench-nsis.exe")
zip_size = size("bench.zip")
print()
print(f"{'packer':<12} {'mean s':>8} {'output bytes':>14}")
for name, out in (("setupc", setupc_size), ("setupc -j1", setupc_size),
                  ("makensis", nsis_size), ("zip -9", zip_size)):
    print(f"{name:<12} {results[name]:8.2f} {out:14d}")
print()
print(f"time  setupc / makensis   = {results['setupc'] / results['makensis']:.3f}  (target <= 0.35)")
print(f"time  setupc / zip -9     = {results['setupc'] / results['zip -9']:.3f}")
print(f"time  setupc / setupc -j1 = {results['setupc'] / results['setupc -j1']:.3f}  "
      f"({os.cpu_count()} cores)")
print(f"size  setupc / makensis   = {setupc_size / nsis_size:.3f}  (target <= 1.0)")
print(f"size  setupc / zip -9     = {setupc_size / zip_size:.3f}")
EOF

# --- installing the tree ---------------------------------------------------------------------
SETUP="$BUILD/bin/setup"
if [ ! -x "$SETUP" ]; then
  echo "setup not found at $SETUP: the install comparison is skipped" >&2
  exit 0
fi
SHM=/dev/shm/setupkit-compare-peers
rm -rf "$SHM"
mkdir -p "$SHM"
# The installer needs wizard pages to press Next through; it writes no uninstaller.
printf 'name "Benchmark"\r\noutfile BenchInstall.exe\r\ninstalldir "C:\\Bench\\"\r\npages install\r\nlanguage install\\english\r\nfile "%s"\r\n' \
  "$ZTREE" >"$WORK/install.sus"
"$SETUPC" -o "$WORK/out" "$WORK/install.sus"
INSTALLER="$WORK/out/BenchInstall.exe"
(cd "$WORK" && tar -cf "$WORK/out/bench.tar" tree)

INSTALL_CMD="SETUP_ROOT=$SHM/root $INSTALLER --unattended --dir=$SHM/setup >/dev/null 2>&1"
hyperfine --warmup 1 --runs "${BENCH_RUNS:-3}" --export-json "$WORK/install.json" \
  -n "setup --unattended" --prepare "rm -rf $SHM/setup $SHM/root" "$INSTALL_CMD" \
  -n "bsdtar -xf" --prepare "rm -rf $SHM/tar && mkdir -p $SHM/tar" \
  "bsdtar -xf $WORK/out/bench.tar -C $SHM/tar" \
  -n "unzip" --prepare "rm -rf $SHM/zip && mkdir -p $SHM/zip" \
  "unzip -q -o $WORK/out/bench.zip -d $SHM/zip"

rm -rf "$SHM/setup" "$SHM/root"
SETUP_ROOT="$SHM/root" /usr/bin/time -v "$INSTALLER" --unattended --dir="$SHM/setup" \
  >/dev/null 2>"$WORK/install-time.txt" || true
installed=$(find "$SHM/setup" -type f | wc -l)

python3 - "$WORK" "$installed" "$files" <<'EOF'
import json, os, re, sys
work, installed, files = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
results = {r["command"]: r["mean"] for r in json.load(open(os.path.join(work, "install.json")))["results"]}
peak_kb = 0
for line in open(os.path.join(work, "install-time.txt")):
    m = re.search(r"Maximum resident set size \(kbytes\): (\d+)", line)
    if m:
        peak_kb = int(m.group(1))
print()
print(f"{'install':<20} {'mean s':>8}")
for name in ("setup --unattended", "bsdtar -xf", "unzip"):
    print(f"{name:<20} {results[name]:8.2f}")
print()
print(f"files installed: {installed} of {files}")
print(f"time  setup / bsdtar = {results['setup --unattended'] / results['bsdtar -xf']:.3f}  (target <= 1.0)")
print(f"time  setup / unzip  = {results['setup --unattended'] / results['unzip']:.3f}")
print(f"peak memory of setup: {peak_kb / 1024:.1f} MiB")
EOF
rm -rf "$SHM"
