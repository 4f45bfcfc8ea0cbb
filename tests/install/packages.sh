#!/bin/sh
# The packages as users get them: the Debian packages unpacked into a scratch
# root (the tool, a C program and the Python package run from there), the
# package pip installs into a fresh virtual environment (loaded, then
# uninstalled), and the type stubs against the built extension.
# Usage: packages.sh BUILD_DIR DEB_DIR
set -eu
src=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "$1" && pwd)
debs=$(cd "$2" && pwd)
work=$build/package-test
fail() { echo "packages: $*" >&2; exit 1; }
rm -rf "$work" && mkdir -p "$work/root" "$work/images/a" "$work/images/b"
python=$(sed -n 's/^Python3_EXECUTABLE:[A-Z]*=//p' "$build/CMakeCache.txt")
version=$(sed -n 's/^project(tav VERSION \([0-9.]*\).*/\1/p' "$src/CMakeLists.txt")

# One version everywhere; the library package is named after the SONAME.
for deb in "$debs"/*.deb; do dpkg-deb -x "$deb" "$work/root"; done
root=$work/root/usr
export PKG_CONFIG_PATH="$root/lib/pkgconfig"
soname=$(readelf -d "$root/lib/libtav.so.$version" | sed -n 's/.*SONAME.*\[libtav\.so\.\([0-9]*\)\]/\1/p')
[ "$soname" = "${version%%.*}" ] || fail "SONAME libtav.so.$soname for version $version"
dpkg-deb -f "$debs/tav-tools_${version}_$(dpkg --print-architecture).deb" Depends |
  grep -q "libtav$soname (= $version)" || fail "tav-tools does not depend on libtav$soname (= $version)"
[ "$(pkg-config --modversion tav)" = "$version" ] || fail "tav.pc is not version $version"
grep -q "TAV_VERSION_STRING \"$version\"" "$root/include/tav/tav.h" || fail "tav.h is not version $version"

# The tool finds the libraries by its run path; a program built with the
# flags of pkg-config runs with LD_LIBRARY_PATH.
printf 'P2 2 2 255 0 64 128 255\n' >"$work/images/a/1.pgm"
printf 'P2 2 2 255 9 64 128 255\n' >"$work/images/b/1.pgm"
env -u LD_LIBRARY_PATH "$root/bin/tav" create-from-dir "$work/images" "$work/two.tav" --size 2x2 >/dev/null
# shellcheck disable=SC2046
cc -std=c11 "$src/tests/install/consumer.c" $(pkg-config --cflags --libs tav) -o "$work/consumer"
LD_LIBRARY_PATH="$root/lib" "$work/consumer" >/dev/null

# The Python package reads the tool's list and says the project's version.
check_python() {
  prefix=$1 && shift
  (cd "$work" && "$@" -c 'import sys, tav
lst = tav.load("two.tav")
assert tav.__version__ == sys.argv[1], tav.__version__
assert tav.__file__.startswith(sys.argv[2]), tav.__file__
assert lst.labels == ["a", "b"] and lst.arrays().shape == (2, 2, 2)' "$version" "$prefix")
}
check_python "$root" env PYTHONPATH="$(echo "$root"/lib/python3*/dist-packages)" "$python"
"$python" -m venv --system-site-packages "$work/venv"
(cd "$src" && TAV_BUILD_DIR="$build" "$work/venv/bin/pip" install -q --no-cache-dir --no-build-isolation --no-index .)
check_python "$work/venv" env -u LD_LIBRARY_PATH "$work/venv/bin/python"
"$work/venv/bin/pip" uninstall -q -y tav
! "$work/venv/bin/python" -c 'import tav' 2>/dev/null || fail "tav is still importable after pip uninstall"

# The stubs type-check, and name what the extension has, no more, no less.
"$python" -m mypy --strict --no-error-summary "$src"/python/tav/*.pyi
(cd "$work" && MYPYPATH="$build/python" PYTHONPATH="$build/python" "$python" -m mypy.stubtest --concise \
  --allowlist "$src/tests/install/stubtest-allowlist.txt" tav)
echo "packages ok: $version"
