#!/bin/sh
# Installs the Debian packages that building, running and testing orlo need,
# skipping those already present. Safe to run repeatedly; needs root for apt.
set -e

PKGS="build-essential cmake pkg-config
libx11-dev zlib1g-dev libpng-dev libjpeg-dev
libgtest-dev libgmock-dev libbenchmark-dev
xvfb xauth x11-apps x11-utils xdotool
imagemagick netpbm giflib-tools pngcheck ghostscript proj-bin qpdf python3
hp2xx hershey-fonts-data
gmt gmt-gshhg-low weather-util-data iso-codes
libtiff-dev gdal-bin libjpeg-turbo-progs libdeflate-dev gcovr"

missing=""
for p in $PKGS; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done

if [ -z "$missing" ]; then
    exit 0
fi

echo "install-deps: installing$missing"
SUDO=""
if [ "$(id -u)" != 0 ]; then
    SUDO="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -o DPkg::Lock::Timeout=600
# shellcheck disable=SC2086
$SUDO apt-get install -y -o DPkg::Lock::Timeout=600 --no-install-recommends $missing
