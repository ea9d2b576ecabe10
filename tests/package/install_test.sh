#!/usr/bin/env bash
# The package as a technician installs it: built from this tree, installed with
# apt into a fresh Debian 12 system, tried, then purged without a trace.
#   install_test.sh SOURCE_DIR BUILD_DIR VERSION CACHE_DIR
# Exit 77 (skipped) with the reason when root or the Debian archive of this
# machine's apt sources is missing.
set -euo pipefail
source_dir=$1 build_dir=$2 version=$3 cache=$4 started=$SECONDS
skip() { echo "SKIPPED: $*"; exit 77; }
((EUID == 0)) || skip "needs root (mmdebstrap, chroot, mount); ./test.sh runs it as CI does, as root"
command -v mmdebstrap >/dev/null || skip "needs mmdebstrap (apt-get install mmdebstrap)"
root=$(mktemp -d) && chmod 755 "$root"
trap 'umount -R "$root"/{var/cache/apt/archives,dev,proc} 2>/dev/null; rm -rf --one-file-system "$root"' EXIT
# The Debian archive this machine's apt uses (one-line or deb822 sources),
# so that the test names no archive of its own.
archive=$({ cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null || true; } |
  awk '$1 == "deb" { for (i = 2; i < NF; i++) if ($i !~ /^\[/ && $(i + 1) == "bookworm") { print $i; exit } }')
[[ -n $archive ]] || archive=$({ cat /etc/apt/sources.list.d/*.sources 2>/dev/null || true; } | awk '
  /^[ \t]*$/ { if (uri != "" && suites ~ /(^| )bookworm( |$)/) { print uri; exit } uri = suites = "" }
  $1 == "URIs:" { uri = $2 } $1 == "Suites:" { $1 = ""; suites = $0 " " }
  END { if (uri != "" && suites ~ /(^| )bookworm( |$)/) print uri }' | head -n1)
[[ -n $archive ]] || skip "no Debian 12 (bookworm) archive in this machine's apt sources"
/usr/lib/apt/apt-helper download-file "$archive/dists/bookworm/Release" "$root/Release" \
  >/dev/null 2>&1 || skip "cannot reach the Debian archive $archive of this machine's apt sources"
in_root() { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 \
  DEBIAN_FRONTEND=noninteractive "$@"; }

deb=$("$source_dir/scripts/package.sh" --build-dir "$build_dir" --dist "$root/tmp" | tail -n1)
# The base system is made once a week; downloaded packages are kept between runs.
mkdir -p "$cache/debs"
if [[ -z $(find "$cache/base.tar" -mtime -7 2>/dev/null) ]]; then
  mmdebstrap --quiet --mode=root --variant=apt bookworm "$cache/base.new.tar" "deb $archive bookworm main"
  mv "$cache/base.new.tar" "$cache/base.tar"
fi
tar -C "$root" -xf "$cache/base.tar" && cp /etc/resolv.conf "$root/etc/"
# /dev with /dev/pts for dpkg's log; slave, so no unmount reaches the host's.
mount -t proc proc "$root/proc" && mount --rbind /dev "$root/dev" && mount --make-rslave "$root/dev"
mount --bind "$cache/debs" "$root/var/cache/apt/archives"
in_root apt-get -qq update
in_root apt-get -qq install -y --no-install-recommends "/tmp/$(basename "$deb")" >/dev/null
in_root dpkg -L spdmon > "$root/tmp/files"

[[ $(in_root spdmon --version) == "spdmon $version" ]] || { echo "spdmon --version is not $version"; exit 1; }
status=0
in_root sh -c 'cd /root && spdmon-initdb table.db --admin admin --password admin &&
  QT_QPA_PLATFORM=offscreen timeout 3 spdmon' 2> "$root/tmp/stderr" || status=$?
# 124: still running when timeout ended it.
if ((status != 124)) || grep -q "shared object\|error while loading" "$root/tmp/stderr"; then
  echo "spdmon ended with $status within 3 s:"; cat "$root/tmp/stderr"; exit 1
fi

in_root apt-get -qq purge -y spdmon >/dev/null
# A folder still there is fine only when another package owns it too.
while read -r path; do
  [[ $path == /. || ! -e "$root$path" ]] || [[ -d "$root$path" && -n $(in_root dpkg -S "$path" 2>/dev/null) ]] ||
    { echo "left after purge: $path"; exit 1; }
done < "$root/tmp/files"
echo "installed, started for 3 s and purged in $((SECONDS - started)) s"
