#!/bin/sh
# Runs a Windows test program inside a network namespace of its own (only the loopback, up) and
# a mount namespace in which /etc/resolv.conf names 127.0.0.1 and the system's CA bundle also
# trusts a CA of the tests (PREFIX.ca/, its folder passed on as CRASHREPORT_TEST_CA_DIR), so its
# servers may take port 53 and 25 of any 127.x address and nothing outside can be reached. Wine
# runs there with a prefix and wineserver of its own: its sockets live in its server's namespace,
# and it reads the CA bundle as it starts. Runs with the same prefix wait for each other; the
# lock is the script's own, so that a server left by a run that was killed cannot hold it (the
# next run ends such a server first).
#   in_network_namespace.sh PREFIX WINEARCH PROGRAM [ARGUMENTS]
# Exit code 77 (a skipped test) when no namespace can be made here.
set -u
prefix=$1
arch=$2
shift 2
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
bundle=/etc/ssl/certs/ca-certificates.crt

unshare_options="--net --mount"
[ "$(id -u)" -ne 0 ] && unshare_options="--map-root-user $unshare_options"
if ! unshare $unshare_options true 2>/dev/null; then
    echo "in_network_namespace.sh: no network namespace can be made here (unshare $unshare_options failed:" \
        "it needs root or unprivileged user namespaces)" >&2
    exit 77
fi

mkdir -p "$prefix"
exec 9>"$prefix.lock"
flock 9
printf 'nameserver 127.0.0.1\n' >"$prefix.resolv.conf"
python3 "$here/test_certificates.py" make-ca "$prefix.ca" || exit 1
cat "$bundle" "$prefix.ca/ca.pem" >"$prefix.ca-bundle.crt" || exit 1
# shellcheck disable=SC2016 # expanded by the inner shell
unshare $unshare_options sh -c '
    prefix=$1 arch=$2 root=$3 bundle=$4
    shift 4
    ip link set lo up || exit 1
    mount --bind "$prefix.resolv.conf" /etc/resolv.conf || exit 1
    mount --bind "$prefix.ca-bundle.crt" "$bundle" || exit 1
    export WINEPREFIX="$prefix" WINEARCH="$arch" CRASHREPORT_NETWORK_NAMESPACE=1 CRASHREPORT_TEST_CA_DIR="$prefix.ca"
    . "$root/tools/wine-env.sh"
    wine_stop
    wine_start
    wine_run "$@"
    rc=$?
    wine_stop
    exit $rc
' in_network_namespace "$prefix" "$arch" "$root" "$bundle" "$@" 9>&-
