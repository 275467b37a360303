#!/bin/sh
# Installs what the build needs, builds the kit, compiles the sample installer with setupc and
# runs it. With a display the real wizard opens; without one the installer runs unattended into
# a temporary SETUP_ROOT, shows where everything went, and the uninstaller removes it again.
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
./scripts/build.sh

out="$(mktemp -d "${TMPDIR:-/tmp}/setupkit-sample.XXXXXX")"
./build/bin/setupc -o "$out" samples/hello/hello.setup
installer="$out/HelloSetup.exe"
echo "Compiled the sample installer: $installer"

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "Starting the wizard (SETUP_ROOT=${SETUP_ROOT:-$HOME/.local/share/setupkit})."
  exec "$installer"
fi

root="$out/root"
export SETUP_ROOT="$root"
echo "No display: installing unattended into SETUP_ROOT=$root"
"$installer" --unattended
folder="$root/drive_c/Program Files/Hello Sample"
echo
echo "Installed files (drive C: is $root/drive_c):"
find "$root/drive_c" -type f | sed "s|^$root/drive_c/|  C:\\\\|; s|/|\\\\|g"
echo
echo "Registry values written (from $root/registry):"
grep -h -A3 -i -E '^\[HKEY_(CURRENT_USER\\Software\\HelloSample|LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\HelloSample)\]' \
  "$root/registry/"*.reg | sed 's/^/  /'
echo
echo "Running the uninstaller unattended: $folder/Hello_Uninstall.exe"
"$folder/Hello_Uninstall.exe" --unattended
# The finaliser removes the uninstaller and the emptied folder once the uninstaller has ended.
i=0
while [ -e "$folder" ] && [ $i -lt 100 ]; do sleep 0.1; i=$((i + 1)); done
if [ -e "$folder" ]; then
  echo "The install folder is still there: $folder"
  exit 1
fi
left="$(find "$root/drive_c" -type f | wc -l)"
echo "The uninstaller removed the sample again: the install folder is gone, $left files left on drive C:."
