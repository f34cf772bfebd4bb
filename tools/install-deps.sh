#!/usr/bin/env bash
# Installs what the build, the tests and the demo need on a Debian machine; skips what is there.
#   install-deps.sh ARCH   ARCH is the architecture the Windows programs are tested on:
#                          i686 (32-bit Wine) or x86_64 (64-bit Wine).
# The i686 compilers are always installed: the i686 DLLs are the product.
#
# A package index that cannot be refreshed (a mirror in the middle of a sync) does not stop the
# run: what the road needs is installed from the indexes that did load, and only a needed
# package that cannot be installed fails it, naming the packages. An optional package that
# cannot be installed is tried once per build folder, not on every run.
set -euo pipefail
arch=${1:?usage: install-deps.sh i686|x86_64}
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
optional_stamp=$build/.optional-packages-not-installed

packages=(binutils g++-mingw-w64-i686-posix mingw-w64-i686-dev binutils-mingw-w64-i686 libz-mingw-w64-dev
          googletest cmake make clang libclang-rt-14-dev llvm lld zlib1g-dev libexpat1-dev socat xvfb xauth python3
          python3-capstone python3-aiosmtpd python3-pil imagemagick unzip openssl dnsmasq-base iproute2
          ca-certificates cups cups-bsd cups-client printer-driver-cups-pdf poppler-utils)
# Wanted but not needed: on the x86_64 road, 32-bit Wine only provides its i386 system DLLs as
# files for the disassembler's comparison with objdump.
optional=()
case "$arch" in
i686) packages+=(wine wine32:i386 libcups2:i386) ;;
x86_64)
  packages+=(g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev binutils-mingw-w64-x86-64 wine wine64)
  [ -f "$optional_stamp" ] || optional+=(wine32:i386)
  ;;
*) echo "install-deps.sh: unknown architecture '$arch'" >&2; exit 2 ;;
esac

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }
missing_of() { for p in "$@"; do installed "$p" || echo "$p"; done; }

mapfile -t missing < <(missing_of "${packages[@]}")
mapfile -t missing_optional < <(missing_of "${optional[@]}")
[ ${#missing[@]} -eq 0 ] && [ ${#missing_optional[@]} -eq 0 ] && exit 0

sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
wants_i386() { printf '%s\n' "${missing[@]}" "${missing_optional[@]}" | grep -q ':i386$'; }
if wants_i386 && ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${sudo_cmd[@]}" dpkg --add-architecture i386
fi
"${sudo_cmd[@]}" apt-get update -qq ||
  echo "note: some package indexes could not be refreshed; installing from those that loaded"
if [ ${#missing[@]} -gt 0 ]; then
  if ! "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null; then
    mapfile -t still < <(missing_of "${missing[@]}")
    echo "install-deps.sh: these needed packages could not be installed: ${still[*]}" >&2
    exit 1
  fi
fi
if [ ${#missing_optional[@]} -gt 0 ]; then
  if ! "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing_optional[@]}" >/dev/null 2>&1; then
    echo "note: ${missing_optional[*]} could not be installed (not tried again for this build folder); the disassembler comparison sweeps fewer DLLs"
    mkdir -p "$build" && : >"$optional_stamp"
  fi
fi
exit 0
