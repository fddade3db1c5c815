#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the tools need, only those missing, in one
# apt-get call (naming an installed package would upgrade it).
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev
    libsqlite3-dev sqlite3 libpq-dev postgresql
    libxlsxwriter-dev python3-xlrd python3-openpyxl python3-dbfread gnumeric file libwmf-bin
    clang
    qt6-base-dev libqt6svg6 qt6-translations-l10n libgl-dev fontconfig cups-client poppler-utils qpdf
    libzint-dev zbar-tools
    cups cups-daemon cups-filters printer-driver-cups-pdf ghostscript
    fonts-arphic-uming fonts-noto-cjk fonts-wqy-microhei
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi
if [ ${#missing[@]} -gt 0 ]; then
    echo "installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    $sudo apt-get update -qq
    $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The Song and Hei faces for the Windows face names of report definitions, for every program on
# the machine (the print component registers the same names inside itself).
conf="$(cd "$(dirname "$0")/.." && pwd)/src/render/fonts/65-print-chinese.conf"
target=/etc/fonts/conf.d/65-print-chinese.conf
if ! cmp -s "$conf" "$target"; then
    echo "installing $target"
    $sudo install -m 644 "$conf" "$target"
    $sudo fc-cache -f >/dev/null
fi
