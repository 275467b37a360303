#!/bin/bash
# Runs the examples of a document against the built kit, so the documents cannot drift from the
# programs. A fenced block is an example when the line before its fence (blank lines aside) is
#   <!-- doc-test: run -->         the block's commands run (bash, stopping at the first failure)
#   <!-- doc-test: file NAME -->   the block's text is written to NAME (relative to the folder
#                                  the commands before it left the shell in)
# The blocks of one document run in order in one shell, so `cd` and `export` carry over.
#
#   run_doc_examples.sh DOCUMENT SOURCE_FOLDER BIN_FOLDER
#
# The shell starts in a scratch home folder that holds the kit as a reader has it: built in
# ~/setupkit (its samples and, as build/bin, the programs just built) and installed into ~/.local
# (setupc and setup-archive in ~/.local/bin, on PATH; the samples in
# ~/.local/share/doc/setupkit/examples), with SETUP_ROOT and TMPDIR inside the scratch folder and
# no display; everything is removed afterwards.
set -u
if [ $# -ne 3 ]; then
  echo "usage: $0 DOCUMENT SOURCE_FOLDER BIN_FOLDER" >&2
  exit 2
fi
document=$1
source_folder=$(cd "$2" && pwd)
bin_folder=$(cd "$3" && pwd)

scratch=$(mktemp -d "${TMPDIR:-/tmp}/doc-examples.XXXXXX") || exit 2
trap 'chmod -R u+w "$scratch" 2>/dev/null; rm -rf "$scratch"' EXIT
home="$scratch/home"
mkdir -p "$home/setupkit/build" "$home/.local/bin" "$home/.local/share/doc/setupkit" \
  "$scratch/tmp" "$scratch/root"
ln -s "$source_folder/samples" "$home/setupkit/samples"
ln -s "$bin_folder" "$home/setupkit/build/bin"
ln -s "$source_folder/samples" "$home/.local/share/doc/setupkit/examples"
# A link finds its data where the program really lies, as the build's own bin folder.
for program in setupc setup-archive; do ln -s "$bin_folder/$program" "$home/.local/bin/$program"; done

# The examples as one script; each block announces where it comes from.
script="$scratch/examples.sh"
awk -v doc="$document" '
  function quote(text) { gsub(/\x27/, "\x27\\\x27\x27", text); return "\x27" text "\x27" }
  /^[ \t]*<!-- doc-test: .* -->[ \t]*$/ {
    pending = $0
    sub(/^[ \t]*<!-- doc-test: /, "", pending)
    sub(/ -->[ \t]*$/, "", pending)
    pending_line = NR
    next
  }
  !inside && pending != "" && /^[ \t]*$/ { next }
  !inside && pending != "" && /^[ \t]*```/ {
    inside = 1
    match($0, /^[ \t]*/)
    indent = RLENGTH
    count++
    printf "echo %s\n", quote("--- " doc ":" NR ": " pending)
    if (pending == "run") {
      mode = "run"
    } else if (pending ~ /^file /) {
      mode = "file"
      name = substr(pending, 6)
      printf "cat > %s <<\x27DOC_EXAMPLE_END\x27\n", quote(name)
    } else {
      printf "echo %s >&2; exit 2\n", quote(doc ":" pending_line ": unknown marker: " pending)
      mode = "skip"
    }
    pending = ""
    next
  }
  !inside && pending != "" {
    printf "echo %s >&2; exit 2\n", quote(doc ":" pending_line ": the marker is not followed by a fenced block")
    pending = ""
    next
  }
  inside && /^[ \t]*```[ \t]*$/ {
    if (mode == "file") print "DOC_EXAMPLE_END"
    inside = 0
    next
  }
  inside { if (mode != "skip") print substr($0, indent + 1) }
  END {
    if (inside) printf "echo %s >&2; exit 2\n", quote(doc ": a marked block is never closed")
    if (count == 0) printf "echo %s >&2; exit 2\n", quote(doc ": no marked examples")
  }
' "$document" > "$script" || exit 2

cd "$home" || exit 2
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u XDG_DATA_HOME -u XDG_CONFIG_HOME \
  -u SETUP_NO_DESKTOP_ENTRIES -u SETUP_REQUIRE_SIGNATURE \
  HOME="$home" PATH="$home/.local/bin:$PATH" TMPDIR="$scratch/tmp" SETUP_ROOT="$scratch/root" \
  SETUP_LANGID=0409 LANG=C.UTF-8 bash -e -o pipefail "$script" < /dev/null
status=$?
if [ $status -ne 0 ]; then
  echo "the examples of $document failed (exit code $status); the script was:" >&2
  cat -n "$script" >&2
fi
exit $status
