#!/bin/sh
# Tries a program of the kit on bare Debian systems: for each suite it makes (or reuses) a
# minimal root with `mmdebstrap --variant=minbase`, copies the program in and runs it there with
# chroot, with nothing added to the root. Needs root and network; not part of scripts/test.sh.
#
#   scripts/try-bare-roots.sh [OPTIONS] PROGRAM
#
#   --cache DIR       where the roots are kept and reused (default: build/bare-roots)
#   --suites "LIST"   the Debian suites to try (default: "bullseye bookworm trixie")
#   --help-only       only start PROGRAM with --help (for a program that is no installer, such
#                     as setup-finalise): passes when it starts, whatever its exit code
#   --expect SRC[:SUB]  a folder whose files must be installed byte for byte into the install
#                     folder (or its subfolder SUB); may be given several times
#
# For an installer each root runs, in order: `--help`; `--unattended --dir=C:\Try\Product`
# (exit 0, the --expect files byte-exact, an Uninstall entry written); `--list-installed
# --json`; the uninstall command that list names, unattended (exit 0, the install folder and
# the Uninstall entry gone); then the terminal wizard (`--text` in a pseudo terminal, TERM=xterm,
# 80x24) driven by Enter presses only (exit 0, the --expect files byte-exact). SETUP_ROOT and
# HOME lie inside the root, in a work folder that is removed afterwards, so the cached roots stay
# bare. The pseudo terminal is driven from the host with python3.
set -eu

here=$(cd "$(dirname "$0")/.." && pwd)
cache="$here/build/bare-roots"
suites="bullseye bookworm trixie"
help_only=0
expects=""
while [ $# -gt 0 ]; do
  case "$1" in
    --cache) cache=$2; shift 2 ;;
    --suites) suites=$2; shift 2 ;;
    --help-only) help_only=1; shift ;;
    --expect) expects="$expects
$2"; shift 2 ;;
    -h|--help) sed -n '2,24p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    -*) echo "unknown option: $1" >&2; exit 2 ;;
    *) break ;;
  esac
done
[ $# -eq 1 ] || { echo "usage: $0 [OPTIONS] PROGRAM (--help for the options)" >&2; exit 2; }
program=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
[ -f "$program" ] || { echo "no such program: $1" >&2; exit 2; }
[ "$(id -u)" -eq 0 ] || { echo "chroot and mmdebstrap need root" >&2; exit 2; }
command -v mmdebstrap >/dev/null || { echo "mmdebstrap is not installed" >&2; exit 2; }

work=/tmp/setupkit-try           # inside each root
install_windows='C:\Try\Product'
install_host=$work/root/drive_c/Try/Product
failures=0
mounted=""
cleanup() {
  for m in $mounted; do umount "$m" 2>/dev/null || umount -l "$m" 2>/dev/null || true; done
  mounted=""
}
trap cleanup EXIT
trap 'cleanup; exit 1' HUP INT PIPE TERM

report() { # STATUS SUITE STEP DETAIL
  printf '%-4s %-9s %-22s %s\n' "$1" "$2" "$3" "$4"
  [ "$1" = ok ] || failures=$((failures + 1))
}

# Runs "$@" inside root $root with a clean environment; output in $out, exit code in $rc.
in_root() {
  set +e
  out=$(chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=$work/home \
    SETUP_ROOT=$work/root "$@" 2>&1)
  rc=$?
  set -e
}

make_root() { # SUITE -> $root
  root="$cache/$1"
  if [ ! -f "$root/.setupkit-complete" ]; then
    rm -rf "$root" "$root.part"
    mkdir -p "$cache"
    echo "Making a bare $1 root in $root (once; reused afterwards)"
    mmdebstrap --quiet --variant=minbase "$1" "$root.part" >/dev/null || return 1
    mv "$root.part" "$root"
    touch "$root/.setupkit-complete"
  fi
  if ! mountpoint -q "$root/proc"; then
    mount -t proc proc "$root/proc"
    mounted="$root/proc $mounted"
  fi
}

# The files of each --expect folder, compared with the install folder.
check_files() {
  printf '%s\n' "$expects" | while IFS= read -r pair; do
    [ -n "$pair" ] || continue
    src=${pair%%:*}
    sub=""
    [ "$src" = "$pair" ] || sub=${pair#*:}
    (cd "$src" && find . -type f) | while IFS= read -r f; do
      if ! cmp -s "$src/$f" "$root$install_host/${sub:+$sub/}${f#./}"; then
        echo "differs or missing: ${sub:+$sub/}${f#./}"
      fi
    done
  done
}

uninstall_entry() { grep -rl 'UninstallString' "$root$work/root/registry" 2>/dev/null || true; }

# Runs "$@" inside root $root in an 80x24 pseudo terminal, pressing Enter every 0.3 s until it
# ends (at most 120 s); exit code in $rc, the screen's last bytes in $out.
press_enter_in_root() {
  set +e
  out=$(python3 - "$root" "$work" "$@" <<'PY'
import os, pty, select, struct, sys, time, fcntl, termios
root, work, argv = sys.argv[1], sys.argv[2], sys.argv[3:]
pid, fd = pty.fork()
if pid == 0:
    os.execv("/usr/sbin/chroot", ["chroot", root, "/usr/bin/env", "-i",
             "PATH=/usr/sbin:/usr/bin:/sbin:/bin", "HOME=" + work + "/home",
             "SETUP_ROOT=" + work + "/root", "TERM=xterm"] + argv)
fcntl.ioctl(fd, termios.TIOCSWINSZ, struct.pack("HHHH", 24, 80, 0, 0))
screen, deadline, next_press = b"", time.time() + 120, time.time() + 1.0
while time.time() < deadline:
    ready, _, _ = select.select([fd], [], [], 0.1)
    if ready:
        try:
            data = os.read(fd, 65536)
        except OSError:
            break
        if not data:
            break
        screen = (screen + data)[-4000:]
    if time.time() >= next_press:
        try:
            os.write(fd, b"\r")
        except OSError:
            break
        next_press = time.time() + 0.3
else:
    os.kill(pid, 9)
_, status = os.waitpid(pid, 0)
sys.stdout.write(screen.decode("utf-8", "replace")[-300:])
sys.exit(os.waitstatus_to_exitcode(status) if hasattr(os, "waitstatus_to_exitcode") else status >> 8)
PY
)
  rc=$?
  set -e
}

for suite in $suites; do
  if ! make_root "$suite"; then
    report FAIL "$suite" "make root" "mmdebstrap failed"
    continue
  fi
  rm -rf "$root$work"
  mkdir -p "$root$work/home"
  name=$(basename "$program")
  cp "$program" "$root$work/$name"
  glibc=$(chroot "$root" /usr/bin/env -i /usr/bin/ldd --version 2>/dev/null | head -n 1 |
    sed 's/.* //')
  echo "== $suite (glibc ${glibc:-?})"

  in_root "$work/$name" --help
  first=$(printf '%s\n' "$out" | head -n 1)
  if [ $rc -eq 126 ] || [ $rc -eq 127 ] || printf '%s' "$out" | grep -q 'error while loading'; then
    report FAIL "$suite" "--help" "cannot start (exit $rc): $first"
    rm -rf "$root$work"
    continue
  fi
  if [ $help_only -eq 1 ]; then
    report ok "$suite" "--help" "starts (exit $rc): $first"
    rm -rf "$root$work"
    continue
  fi
  [ $rc -eq 0 ] && report ok "$suite" "--help" "$first" ||
    report FAIL "$suite" "--help" "exit $rc: $first"

  in_root "$work/$name" --unattended "--dir=$install_windows"
  if [ $rc -ne 0 ]; then
    report FAIL "$suite" "--unattended" "exit $rc: $(printf '%s\n' "$out" | tail -n 3 | tr '\n' ' ')"
  else
    differences=$(check_files)
    if [ -n "$differences" ]; then
      report FAIL "$suite" "--unattended" "$(printf '%s\n' "$differences" | head -n 3 | tr '\n' ' ')"
    elif [ -z "$(uninstall_entry)" ]; then
      report FAIL "$suite" "--unattended" "no Uninstall entry written"
    else
      report ok "$suite" "--unattended" "exit 0, files byte-exact, Uninstall entry written"
    fi
  fi

  in_root "$work/$name" --list-installed --json
  listing=$out
  if [ $rc -eq 0 ] && printf '%s' "$listing" | grep -q 'Product'; then
    report ok "$suite" "--list-installed" "$(printf '%s' "$listing" | tr -d '\n' | cut -c1-100)..."
  else
    report FAIL "$suite" "--list-installed" "exit $rc: $(printf '%s' "$listing" | head -n 2)"
  fi

  # The quiet uninstall command the list names (a shell command line).
  command=$(printf '%s' "$listing" | sed -n 's/.*"quiet_uninstall": *"\(\([^"\\]\|\\.\)*\)".*/\1/p' |
    head -n 1 | sed 's/\\"/"/g; s/\\\\/\\/g')
  if [ -z "$command" ]; then
    report FAIL "$suite" "uninstall" "no quiet uninstall command listed"
  else
    in_root /bin/sh -c "$command"
    i=0 # the finaliser removes the uninstaller and the folder after the uninstaller ends
    while [ -e "$root$install_host" ] && [ $i -lt 100 ]; do sleep 0.1; i=$((i + 1)); done
    if [ $rc -ne 0 ]; then
      report FAIL "$suite" "uninstall" "exit $rc: $(printf '%s\n' "$out" | tail -n 2 | tr '\n' ' ')"
    elif [ -e "$root$install_host" ]; then
      report FAIL "$suite" "uninstall" "left: $(cd "$root$install_host" && find . | head -n 5 | tr '\n' ' ')"
    elif [ -n "$(uninstall_entry)" ]; then
      report FAIL "$suite" "uninstall" "the Uninstall entry is still there"
    else
      report ok "$suite" "uninstall" "exit 0, nothing left"
    fi
  fi

  press_enter_in_root "$work/$name" --text "--dir=$install_windows"
  if [ $rc -ne 0 ]; then
    report FAIL "$suite" "--text, Enter only" "exit $rc: $(printf '%s' "$out" | tr -c '[:print:]' ' ' | tail -c 120)"
  else
    differences=$(check_files)
    if [ -n "$differences" ]; then
      report FAIL "$suite" "--text, Enter only" "$(printf '%s\n' "$differences" | head -n 3 | tr '\n' ' ')"
    else
      report ok "$suite" "--text, Enter only" "exit 0, files byte-exact"
    fi
  fi
  rm -rf "$root$work"
done

[ $failures -eq 0 ] && echo "all steps passed" || echo "$failures step(s) failed"
[ $failures -eq 0 ]
