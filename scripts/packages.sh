# The Debian packages KORU32 builds with, in one place. scripts/run-demo,
# scripts/run-tests and .ci/run source this file and install what is
# missing; scripts with needs of their own (the fuzzers, the Windows build)
# install those themselves.
#
#   koru_base_packages  the default build: the library, the koru program
#                       (CLI11, libcsv), the tests (GoogleTest) and the Python
#                       package (pybind11, Debian's python3 headers), which
#                       scripts/run-demo and scripts/run-tests configure alike
#   koru_python_packages  what the Python package's tests import besides
#   koru_ci_packages    everything .ci/run uses besides: benchmarks, valgrind,
#                       and the tools that build and inspect the Debian package

koru_base_packages="cmake make g++ libcli11-dev libcsv-dev libgtest-dev pybind11-dev python3-pybind11 python3-dev"
koru_python_packages="python3-numpy python3-sklearn python3-pytest"
koru_ci_packages="$koru_base_packages $koru_python_packages libbenchmark-dev binutils python3 valgrind dpkg-dev file pkg-config"

# koru_install_packages PACKAGE...: installs with apt-get those of the
# packages that are not installed yet (through sudo when not root). Nothing
# is done on a system without dpkg.
koru_install_packages() {
    command -v dpkg-query >/dev/null 2>&1 || return 0
    koru_needed=""
    for koru_package in "$@"; do
        dpkg-query -W -f='${Status}' "$koru_package" 2>/dev/null | grep -q "install ok installed" ||
            koru_needed="$koru_needed $koru_package"
    done
    [ -n "$koru_needed" ] || return 0
    echo "installing:$koru_needed"
    koru_sudo=""
    [ "$(id -u)" -eq 0 ] || koru_sudo="sudo"
    $koru_sudo apt-get update
    # shellcheck disable=SC2086 # one word a package
    $koru_sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $koru_needed
}
