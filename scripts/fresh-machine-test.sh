#!/usr/bin/env bash
# Runs the README's test command as a user's fresh Debian 12 machine would: in a minimal
# Debian 12 root made with mmdebstrap (variant minbase, plus make, git, ca-certificates and
# sudo) from this machine's own apt sources, into which a clean clone of HEAD is copied. So a
# package that the tests need and scripts/install-deps.sh does not install fails here as it
# would for a user. Like most users' machines, the root is not in UTC and speaks no English:
# the build runs in the time zone Europe/Berlin and the locale de_DE.UTF-8 (with a decimal
# comma), generated in the root as a German user's installation has it; the tests keep their
# own UTC and C.UTF-8.
#
# Kept between runs: only the compiler cache (JQZ_FRESH_CACHE), bound into the root. The
# folder "shared" beside the checkout, when there is one, is bound read-only at the same place
# beside the clone. /proc is mounted and /dev bound (the tests need pseudo-terminals); every
# mount is undone on every way out, and a root left by a killed run is removed by the next.
#
# Needs root (mmdebstrap, chroot, mount). Prints the suites' summary lines and exits with the
# test command's status.
#   sudo scripts/fresh-machine-test.sh
set -euo pipefail

src=$(git -C "$(dirname "$0")/.." rev-parse --show-toplevel)
work=${JQZ_FRESH_DIR:-/var/tmp/jqz6811-fresh}
cache=${JQZ_FRESH_CACHE:-/var/cache/jqz6811-fresh/ccache}
root=$work/root
shared=$(cd "$src/.." && pwd)/shared
# The clone has the same place in every run, whatever the checkout's folder is called, and the
# compiler cache takes paths below /build as relative: a second run finds what the first built.
# The cache leaves the locale out of its hash, so the package test's clones, built in other
# locales, find the objects of the build.
name=jqz6811

if [ "$(id -u)" -ne 0 ]; then
  echo "fresh-machine-test: run as root (sudo $0): it makes a Debian root and mounts into it" >&2
  exit 2
fi
for tool in mmdebstrap chroot mount umount; do
  command -v "$tool" > /dev/null || { echo "fresh-machine-test: $tool is missing (apt-get install mmdebstrap)" >&2; exit 2; }
done

mounts_under_root() {
  awk -v r="$root" '$2 == r || index($2, r "/") == 1 { print $2 }' /proc/mounts | sort -r
}

stop_processes_in_root() {
  local p
  for p in /proc/[0-9]*; do
    [ "$(readlink "$p/root" 2>/dev/null)" = "$root" ] && kill -KILL "${p#/proc/}" 2>/dev/null
  done
  return 0
}

unmount_all() {
  local m
  stop_processes_in_root
  while read -r m; do
    [ -n "$m" ] || continue
    umount "$m" 2> /dev/null || umount -l "$m" 2> /dev/null || true
  done < <(mounts_under_root)
}

remove_root() {
  [ -e "$root" ] || return 0
  unmount_all
  if [ -n "$(mounts_under_root)" ]; then
    echo "fresh-machine-test: mounts remain under $root; it is not removed:" >&2
    mounts_under_root >&2
    return 1
  fi
  rm -rf --one-file-system "$root"
}

cleanup() {
  local rc=$?
  trap - EXIT INT TERM HUP
  remove_root || rc=1
  exit "$rc"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

mkdir -p "$work" "$cache"
# A root left by a killed run is removed; one that cannot be (a mount that will not go) is
# left where it is, and this run makes its own beside it.
if ! remove_root; then
  root=$work/root-$$
  echo "fresh-machine-test: using $root instead" >&2
  remove_root
fi

start=$SECONDS
# The machine's own sources, in whichever of the two formats it keeps them.
sources() {
  local f
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] && grep -Ev '^\s*(#|$)' "$f"
  done
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] && { grep -Ev '^\s*#' "$f"; echo; }
  done
  return 0
}
# The apt options of this machine that reach its mirror (a snapshot's dates, a proxy) hold
# inside the root too: mmdebstrap keeps its --aptopt lines there.
aptopts=()
while IFS= read -r line; do
  aptopts+=(--aptopt="$line")
done < <(apt-config dump | grep -E '^Acquire::(Check-Valid-Until|Check-Date|https?::Proxy|Proxy) ' || true)
sources | mmdebstrap --quiet --variant=minbase --include=make,git,ca-certificates,sudo,locales \
  --customize-hook='echo "de_DE.UTF-8 UTF-8" > "$1/etc/locale.gen"' \
  --customize-hook='chroot "$1" locale-gen > /dev/null' \
  "${aptopts[@]}" bookworm "$root" -
echo "fresh-machine-test: Debian 12 root made in $((SECONDS - start)) s"

cp /etc/resolv.conf "$root/etc/resolv.conf" 2> /dev/null || true
# The root is a mount of its own, as a machine's / is: a test that makes a private mount
# namespace (unshare -m --propagation private) needs / to be a mount point.
mount --bind "$root" "$root"
mount --make-private "$root"
mount -t proc proc "$root/proc"
mount --rbind /dev "$root/dev"
mount --make-rslave "$root/dev"  # unmounting the copy never reaches the machine's /dev
mkdir -p "$root/build/$name" "$root/var/cache/ccache"
mount --bind "$cache" "$root/var/cache/ccache"
if [ -d "$shared" ]; then
  mkdir -p "$root/build/shared"
  mount --bind "$shared" "$root/build/shared"
  mount -o remount,bind,ro "$root/build/shared"
else
  echo "fresh-machine-test: no $shared beside the checkout; the root has none either"
fi

commit=$(git -C "$src" rev-parse HEAD)
git clone --quiet --no-hardlinks "$src" "$root/build/$name"
git -C "$root/build/$name" checkout --quiet --detach "$commit"
echo "fresh-machine-test: testing $commit in a clean Debian 12 root"

log=$work/test.log
set +e
chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
  TERM="${TERM:-dumb}" CI="${CI:-}" LANG=de_DE.UTF-8 TZ=Europe/Berlin CCACHE_DIR=/var/cache/ccache CCACHE_MAXSIZE=5G CCACHE_BASEDIR=/build CCACHE_NOHASHDIR=1 CCACHE_SLOPPINESS=locale \
  bash -c "cd /build/$name && make test" 2>&1 | tee "$log"
rc=${PIPESTATUS[0]}
set -e
echo
echo "fresh-machine-test: make test exited $rc after $((SECONDS - start)) s in all"
grep -E '^(build[-a-z]*: |total: |[0-9]+ suite)' "$log" || echo "fresh-machine-test: no summary lines"
exit "$rc"
