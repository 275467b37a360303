#!/bin/sh
# Installs the Debian packages the kit needs to build, test and run (run as root on Debian 12).
set -eu
packages="build-essential cmake pkg-config zlib1g-dev libdeflate-dev libpng-dev libjpeg62-turbo-dev \
libfreeimage-dev libwmf-dev qt6-base-dev libgl-dev libgtest-dev googletest \
libbenchmark-dev libsodium-dev liblzma-dev locales desktop-file-utils fonts-urw-base35 libexpat1-dev \
tzdata"
missing=""
for p in $packages; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends $missing
fi
