#!/bin/sh
# Installs what the build needs, builds the kit and Medalor, compiles the Medalor installer with
# setupc and runs it. With a display the real wizard opens; without one the installer runs
# unattended into a temporary SETUP_ROOT. Either way the installed Medalor then renders one badge
# sheet in its command-line mode; unattended, the uninstaller finally removes everything again.
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
./scripts/build.sh

out="$(mktemp -d "${TMPDIR:-/tmp}/setupkit-sample.XXXXXX")"
./build/bin/setupc -o "$out" build/samples/medalor/medalor.setup
installer="$out/MedalorSetup.exe"
echo "Compiled the sample installer: $installer"

sheet="$out/badge-sheet.png"
render() {
  # $1: the installed program. Command-line mode needs no display.
  "$1" --sheet "$sheet" --badges gold-medal,ruby-star,blue-shield,silver-medal --per-row 4 \
    --background Walnut
  echo "The installed Medalor rendered a badge sheet: $sheet"
}

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  root="${SETUP_ROOT:-${XDG_DATA_HOME:-$HOME/.local/share}/setupkit}"
  echo "Starting the wizard (SETUP_ROOT=$root)."
  "$installer" || { echo "The installer ended without installing (exit code $?)."; exit 1; }
  dir="$(grep -A2 -i '^\[HKEY_CURRENT_USER\\Software\\Medalor\]' "$root/registry/"*.reg 2>/dev/null |
    sed -n 's/^"InstallDir"="\(.*\)"$/\1/p' | head -n 1)"
  if [ -n "$dir" ]; then
    host="$root/drive_c/$(printf '%s' "$dir" | sed 's/^[Cc]:\\\\//; s/\\\\/\//g')"
    render "$host/Medalor"
    echo "Medalor is installed in $dir; its Start-menu entry starts it, its uninstaller removes it."
  fi
  exit 0
fi

root="$out/root"
export SETUP_ROOT="$root"
echo "No display: installing unattended into SETUP_ROOT=$root"
"$installer" --unattended
folder="$root/drive_c/Program Files/Medalor"
echo
echo "Installed (drive C: is $root/drive_c):"
find "$root/drive_c" -type f | sort | sed "s|^$root/drive_c/|  C:\\\\|; s|/|\\\\|g" |
  awk 'NR <= 12; END { if (NR > 12) print "  ... and " NR - 12 " more files" }'
echo
echo "Registry values written (from $root/registry):"
grep -h -A3 -i -E '^\[HKEY_(CURRENT_USER\\Software\\Medalor|LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Medalor)\]' \
  "$root/registry/"*.reg | sed 's/^/  /'
echo
render "$folder/Medalor"
echo
echo "Running the uninstaller unattended: $folder/Medalor_Uninstall.exe"
"$folder/Medalor_Uninstall.exe" --unattended
# The finaliser removes the uninstaller and the emptied folder once the uninstaller has ended.
i=0
while [ -e "$folder" ] && [ $i -lt 100 ]; do sleep 0.1; i=$((i + 1)); done
if [ -e "$folder" ]; then
  echo "The install folder is still there: $folder"
  exit 1
fi
left="$(find "$root/drive_c" -type f | wc -l)"
echo "The uninstaller removed Medalor again: the install folder is gone, $left files left on drive C:."
echo "The rendered sheet stays at $sheet"
