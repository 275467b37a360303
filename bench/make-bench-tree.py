#!/usr/bin/env python3
"""Builds the deterministic benchmark tree of bench/compare-peers.sh.

    bench/make-bench-tree.py TREE [mixed|text]

The tree is made from files every Debian 12 machine has, each kind taken in sorted path order up
to its share:
  mixed (the default): C/C++ headers from /usr/include, text from /usr/share/doc, .gz and .png
        files from /usr/share and a few dozen shared libraries of 0.3 to 8 MB from
        /usr/lib/x86_64-linux-gnu;
  text: a program of many small text files, as a Python or Node.js program ships: the Python
        modules of /usr/lib/python3*, the Perl modules of /usr/share/perl*, and the JavaScript,
        CSS, JSON and HTML files of /usr/share and /usr/lib.

Two kinds of file are left out, so that the installed tree can equal its source:
  * a file whose content was taken already (every file is different);
  * a file whose path equals, when letter case is ignored, the path of a file or folder taken
    already but is spelled differently (xt_CONNMARK.h beside xt_connmark.h): on the installer's
    case-insensitive targets the two would be one file, and setupc refuses such a tree.
"""
import hashlib
import os
import shutil
import sys

tree = sys.argv[1]
kind = sys.argv[2] if len(sys.argv) > 2 else "mixed"
seen_content = set()
spelling = {}  # lower-cased path below the tree -> its spelling, for files and folders


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


def case_clash(path):
    """True when the path or one of its folders clashes in letter case with one taken."""
    parts = path.strip("/").split("/")
    for i in range(1, len(parts) + 1):
        prefix = "/".join(parts[:i])
        known = spelling.get(prefix.lower())
        if known is not None and known != prefix:
            return True
    # The whole path must not name a folder taken already, nor a folder a file taken already.
    return spelling.get(path.strip("/").lower()) is not None


def remember(path):
    parts = path.strip("/").split("/")
    for i in range(1, len(parts) + 1):
        prefix = "/".join(parts[:i])
        spelling.setdefault(prefix.lower(), prefix)


def pick(paths, share):
    """Copies files in sorted order, skipping repeated content and case clashes, up to `share`."""
    taken = 0
    for path in paths:
        if taken >= share:
            break
        if case_clash(path):
            continue
        try:
            data = open(path, "rb").read()
        except OSError:
            continue
        digest = hashlib.sha1(data).digest()
        if digest in seen_content:
            continue
        seen_content.add(digest)
        remember(path)
        target = tree + path
        os.makedirs(os.path.dirname(target), exist_ok=True)
        shutil.copyfile(path, target)
        taken += len(data)


if kind == "text":
    python = [p for top in ("/usr/lib/python3", "/usr/lib/python3.11")
              for p in files(top, lambda p: p.endswith(".py"))]
    pick(sorted(python), 45e6)
    perl = [p for top in ("/usr/share/perl", "/usr/share/perl5")
            for p in files(top, lambda p: p.endswith((".pm", ".pl", ".pod")))]
    pick(sorted(perl), 25e6)
    web = lambda p: p.endswith((".js", ".css", ".json", ".html"))
    pick(sorted(files("/usr/share", web) + files("/usr/lib", web)), 20e6)
else:
    pick(files("/usr/include", lambda p: p.endswith((".h", ".hpp", ".tcc")) or "c++" in p), 45e6)
    pick(files("/usr/share/doc", lambda p: not p.endswith(".gz")), 15e6)
    pick(files("/usr/share", lambda p: p.endswith((".gz", ".png"))), 40e6)
    libs = files("/usr/lib/x86_64-linux-gnu", lambda p: ".so" in os.path.basename(p) and
                 300e3 <= os.path.getsize(p) <= 8e6, max_depth=0)
    pick(libs[::3], 50e6)  # every third library in sorted order, to spread the sizes
