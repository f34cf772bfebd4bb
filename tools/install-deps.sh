#!/usr/bin/env bash
# Installs what the build, the tests and the demo need on a Debian machine; skips what is there.
set -euo pipefail

packages=(g++-mingw-w64-i686-posix mingw-w64-i686-dev libz-mingw-w64-dev googletest cmake make
          clang libclang-rt-14-dev llvm socat xvfb xauth wine wine32:i386 python3)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${sudo_cmd[@]}" dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
