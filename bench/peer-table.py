#!/usr/bin/env python3
"""Prints the table of one tree of bench/compare-peers.sh (Markdown) and writes its chart data.

    bench/peer-table.py DIR KIND LARGEST FILES BYTES MACHINE LOAD_BEFORE LOAD_AFTER

DIR holds the tree's hyperfine results (compile.json, install.json), the packages in out/ and
the installers' /usr/bin/time reports (install-time-zlib.txt, -solid.txt, -lzma.txt).
"""
import datetime
import json
import os
import re
import sys

work, kind, largest, files, tree_bytes, machine, load_before, load_after = sys.argv[1:9]
largest, files, tree_bytes = int(largest), int(files), int(tree_bytes)


def times(name):
    results = json.load(open(os.path.join(work, name)))["results"]
    return {r["command"]: r for r in results}


compile_t, install_t = times("compile.json"), times("install.json")
mean = lambda table, name: table[name]["mean"]
cpu = lambda table, name: table[name]["user"] + table[name]["system"]
size = lambda name: os.path.getsize(os.path.join(work, "out", name))
zlib_size = size("bench-zlib.exe") - 1  # minus the one-byte stand-in runtime
solid_size = size("bench-solid.exe") - 1
lzma_size = size("bench-lzma.exe") - 1
nsis_size, nsis_solid_size = size("bench-nsis.exe"), size("bench-nsis-solid.exe")
zip_size, zst_size, xz_size = size("bench.zip"), size("bench.tar.zst"), size("bench.tar.xz")


def peak_kb(coding):
    for line in open(os.path.join(work, f"install-time-{coding}.txt")):
        m = re.search(r"Maximum resident set size \(kbytes\): (\d+)", line)
        if m:
            return int(m.group(1))
    return 0


mib = 1 << 20
# Solid installs hold blocks of up to 32 MiB; files of 16 MiB or more are packed alone.
budget = {"zlib": 3 * largest + 64 * mib, "solid": 3 * max(largest, 32 * mib) + 64 * mib}
budget["lzma"] = budget["solid"]

rows = []  # measure, setupkit, peer, ratio, target (None: none)


def row(measure, ours, peer, ratio, target=None):
    rows.append((measure, ours, peer, ratio, target))


def secs(table, name):
    return f"{mean(table, name):.2f} s (cpu {cpu(table, name):.2f} s)"


def compiled(label, name):
    return f"{label} {secs(compile_t, name)}"


def installed(label, name):
    return f"{label} {secs(install_t, name)}"


c = lambda ours, peer: mean(compile_t, ours) / mean(compile_t, peer)
i = lambda ours, peer: mean(install_t, ours) / mean(install_t, peer)

row("compile, all cores", compiled("setupc zlib", "setupc"), compiled("makensis zlib", "makensis"),
    c("setupc", "makensis"), 0.25)
row("compile, one core", compiled("setupc -j1 zlib", "setupc -j1"),
    compiled("makensis zlib", "makensis"), c("setupc -j1", "makensis"))
row("compile, all cores", compiled("setupc solid", "setupc solid"),
    compiled("makensis /SOLID lzma", "makensis solid"), c("setupc solid", "makensis solid"), 0.5)
row("compile, all cores", compiled("setupc solid lzma", "setupc lzma"),
    compiled("makensis /SOLID lzma", "makensis solid"), c("setupc lzma", "makensis solid"), 0.5)
row("compile, all cores", compiled("setupc solid", "setupc solid"),
    compiled("tar, zstd -19 --long", "tar zstd -19"), c("setupc solid", "tar zstd -19"))
row("compile, all cores", compiled("setupc solid", "setupc solid"),
    compiled("tar, xz -9", "tar xz -9"), c("setupc solid", "tar xz -9"))
row("compile, all cores", compiled("setupc zlib", "setupc"), compiled("zip -9", "zip -9"),
    c("setupc", "zip -9"))
row("package size", f"zlib {zlib_size:,} B", f"makensis zlib {nsis_size:,} B",
    zlib_size / nsis_size, 1.0)
row("package size", f"solid {solid_size:,} B", f"makensis /SOLID lzma {nsis_solid_size:,} B",
    solid_size / nsis_solid_size, 1.0)
row("package size", f"solid lzma {lzma_size:,} B",
    f"makensis /SOLID lzma {nsis_solid_size:,} B", lzma_size / nsis_solid_size, 1.0)
row("package size", f"solid lzma {lzma_size:,} B", f"tar, xz -9 {xz_size:,} B",
    lzma_size / xz_size)
row("package size", f"solid {solid_size:,} B", f"tar, zstd -19 --long {zst_size:,} B",
    solid_size / zst_size)
row("package size", f"solid {solid_size:,} B", f"tar, xz -9 {xz_size:,} B", solid_size / xz_size)
row("package size", f"zlib {zlib_size:,} B", f"zip -9 {zip_size:,} B", zlib_size / zip_size)
for label, name in (("setup zlib", "setup"), ("setup solid", "setup solid")):
    row("install into tmpfs", installed(label, name), installed("bsdtar -xf", "bsdtar -xf"),
        i(name, "bsdtar -xf"), 1.0)
row("install into tmpfs", installed("setup solid", "setup solid"),
    installed("tar -xJf", "tar -xJf"), i("setup solid", "tar -xJf"), 0.5)
row("install into tmpfs", installed("setup solid lzma", "setup lzma"),
    installed("tar -xJf", "tar -xJf"), i("setup lzma", "tar -xJf"), 0.5)
row("install into tmpfs", installed("setup solid lzma", "setup lzma"),
    installed("bsdtar -xf", "bsdtar -xf"), i("setup lzma", "bsdtar -xf"))
row("install into tmpfs", installed("setup solid", "setup solid"),
    installed("tar --zstd -xf", "tar --zstd -xf"), i("setup solid", "tar --zstd -xf"))
row("install into tmpfs", installed("setup zlib", "setup"), installed("unzip", "unzip"),
    i("setup", "unzip"))
for coding in ("zlib", "solid", "lzma"):
    unit = "entry" if coding == "zlib" else "block or entry"
    row(f"peak memory, {coding} install", f"{peak_kb(coding) / 1024:.1f} MiB",
        f"3 x largest {unit} + 64 MiB = {budget[coding] / mib:.1f} MiB",
        peak_kb(coding) * 1024 / budget[coding], 1.0)

lines = [
    f"#### The {kind} tree",
    "",
    f"Tree: {files:,} files, {tree_bytes:,} bytes, largest file {largest:,} bytes; "
    f"installed trees equal to the source (diff -r).",
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
print("\n".join(lines) + "\n")

with open(os.path.join(work, "times.dat"), "w") as out:
    for label, table, name in (("setupc", compile_t, "setupc"),
                               ("setupc solid", compile_t, "setupc solid"),
                               ("setupc lzma", compile_t, "setupc lzma"),
                               ("makensis", compile_t, "makensis"),
                               ("makensis solid", compile_t, "makensis solid"),
                               ("tar zstd", compile_t, "tar zstd -19"),
                               ("tar xz", compile_t, "tar xz -9"),
                               ("setup", install_t, "setup"),
                               ("setup solid", install_t, "setup solid"),
                               ("setup lzma", install_t, "setup lzma"),
                               ("bsdtar", install_t, "bsdtar -xf"),
                               ("tar -xJf", install_t, "tar -xJf")):
        out.write(f'"{label}" {mean(table, name):.3f}\n')
