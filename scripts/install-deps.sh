#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the tools need, only those missing, in one
# apt-get call (naming an installed package would upgrade it).
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev
    libsqlite3-dev sqlite3 libpq-dev postgresql
    libxlsxwriter-dev python3-xlrd python3-openpyxl python3-dbfread gnumeric file
    clang
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi
echo "installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
