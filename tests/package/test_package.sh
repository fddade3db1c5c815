#!/usr/bin/env bash
# Installs a build into a throw-away prefix, then builds hosts against that prefix alone (the
# small host here, and the demo host) and runs the small one: a print request printed once.
set -euo pipefail
build=$(cd "$1" && pwd)
source_dir=$(cd "$2" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --install "$build" --prefix "$work/prefix" >"$work/install.log"
# A host links what the build's own programs link: a sanitizer build's libraries need its runtime.
link_flags=$(sed -n 's/^CMAKE_EXE_LINKER_FLAGS:STRING=//p' "$build/CMakeCache.txt")
configure() {
    cmake -S "$1" -B "$2" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_PREFIX_PATH="$work/prefix" \
        -DCMAKE_EXE_LINKER_FLAGS="$link_flags" >"$2.log" 2>&1 || { cat "$2.log"; exit 1; }
    cmake --build "$2" -j2 >>"$2.log" 2>&1 || { tail -40 "$2.log"; exit 1; }
}
configure "$source_dir/tests/package/host" "$work/host"
QT_QPA_PLATFORM=offscreen "$work/host/package_host" "$work"
test -s "$work/host.pdf"
if [ -f "$source_dir/apps/print-demo/CMakeLists.txt" ]; then
    configure "$source_dir/apps/print-demo" "$work/demo"
    test -x "$work/demo/print-demo"
    echo "the demo host builds against the installed package"
fi
