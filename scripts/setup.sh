#!/usr/bin/env bash
# Installs the Debian packages the builds and tests need; quick and silent when all are present.
set -euo pipefail

# Native build, unit tests and sanitizers.
packages=(cmake ninja-build g++ zlib1g-dev googletest libgtest-dev)
# The source format check.
packages+=(clang-format)
# Windows cross build and the Wine run of its tests under a virtual display.
packages+=(g++-mingw-w64-x86-64-posix libz-mingw-w64-dev wine wine64 xvfb xauth)
# The check that a debugger finds the shipped files' symbols (natively and for Windows files).
packages+=(gdb gdb-mingw-w64)
# Authenticode signing of the Windows build and the throwaway certificate its tests sign with.
packages+=(osslsigncode openssl)
# Fuzz targets: clang with the libFuzzer and sanitizer runtimes.
packages+=(clang libclang-rt-14-dev)

missing=()
for p in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    if [[ "$status" != "install ok installed" ]]; then
        missing+=("$p")
    fi
done

if ((${#missing[@]} == 0)); then
    exit 0
fi

echo "setup: installing ${missing[*]}"
if [[ $(id -u) -eq 0 ]]; then
    sudo=()
elif command -v sudo >/dev/null; then
    sudo=(sudo)
else
    echo "setup: missing packages and not root (no sudo either): ${missing[*]}" >&2
    exit 1
fi

# Recommended packages stay on: Wine draws its windows and fonts with them.
apt=("${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -q -o Dpkg::Use-Pty=0)
"${apt[@]}" update </dev/null
"${apt[@]}" install -y "${missing[@]}" </dev/null
