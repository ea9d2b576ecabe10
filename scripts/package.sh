#!/usr/bin/env bash
# Builds the Debian package dist/spdmon_<version>_<arch>.deb from the sources.
#
#   scripts/package.sh                   builds in build-package/ with Debian's
#                                        hardening flags, as the package is shipped
#   scripts/package.sh --build-dir DIR   packages an existing build instead
#   scripts/package.sh --dist DIR        puts the package into DIR
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$here/build-package"
dist="$here/dist"
while (($#)); do
  case "$1" in
    --build-dir) build="$(realpath -m "$2")"; shift 2 ;;
    --dist) dist="$(realpath -m "$2")"; shift 2 ;;
    *) echo "usage: $0 [--build-dir DIR] [--dist DIR]" >&2; exit 64 ;;
  esac
done

if [[ ! -f "$build/CMakeCache.txt" ]]; then
  # CMAKE_BUILD_TYPE None: only dpkg-buildflags' flags, all hardening on, as
  # dpkg-buildpackage would give them (its file prefix map is the working
  # folder: the sources).
  cd "$here"
  export DEB_BUILD_MAINT_OPTIONS=hardening=+all
  CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)" \
  LDFLAGS="$(dpkg-buildflags --get LDFLAGS)" \
    cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=None -DCMAKE_INSTALL_PREFIX=/usr \
      -DSPDMON_BENCH=OFF -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON
fi
# Only what the package holds, not the tests.
cmake --build "$build" -j"$(nproc)" --target spdmon spdmon-initdb spdmon-mqtt-check kpv-sim \
  spdmon_compressed_docs
rm -rf "$build/package"
(cd "$build" && cpack -G DEB >/dev/null)
mkdir -p "$dist"
for deb in "$build"/package/spdmon_*.deb; do
  cp "$deb" "$dist/"
  echo "$dist/$(basename "$deb")"
done
