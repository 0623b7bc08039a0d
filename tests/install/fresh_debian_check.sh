#!/usr/bin/env bash
# Installs the Debian packages on a fresh, minimal Debian 12 (bookworm) root
# and checks the installed programs there, as a user's machine would see
# them. Needs root, debootstrap and a reachable Debian mirror, so it is not
# part of `make test` (which checks the same packages without installing).
#
# usage: fresh_debian_check.sh PACKAGE_DIR [ROOT]
#   PACKAGE_DIR: the folder of zoq_*.deb and zoq-dev_*.deb (`make package`
#   puts them in build/package).
#   ROOT: where the Debian root is made (default /work/deb-root/bookworm);
#   an existing root is reused, its zoq packages purged first.
# The mirror is the first Debian URI of the host's apt sources
# (http://deb.debian.org/debian when there is none).
#
# In the root, as root: apt-get install ./zoq_*.deb (its Depends pulled from
# the mirror), then the installed zoq decodes an SXC part whose schema is
# not embedded (found under /usr/share/zoq/BinarySchema), `zoq --help`, the
# man pages through man(1), the bash completion, and zoq-explorer started
# offscreen with every shared library found.
set -euo pipefail

[ "$(id -u)" = 0 ] || { echo "fresh_debian_check: run as root" >&2; exit 1; }
debs=$(realpath "$1")
root=${2:-/work/deb-root/bookworm}
source_dir=$(realpath "$(dirname "$0")/../..")
runtime=$(ls "$debs"/zoq_*.deb)
dev=$(ls "$debs"/zoq-dev_*.deb)

fail() {
  echo "fresh_debian_check: $*" >&2
  exit 1
}

mirror=$(grep -hs -m1 -o 'https\?://[^ ]*/debian\b' /etc/apt/sources.list /etc/apt/sources.list.d/*.sources \
  /etc/apt/sources.list.d/*.list | head -1 || true)
mirror=${mirror:-http://deb.debian.org/debian}

if [ ! -x "$root/usr/bin/apt-get" ]; then
  echo "fresh_debian_check: debootstrap --variant=minbase bookworm $root $mirror"
  debootstrap --variant=minbase bookworm "$root" "$mirror" > "$root.debootstrap.log" 2>&1 ||
    fail "debootstrap failed; see $root.debootstrap.log"
fi

mounted=()
cleanup() {
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do umount "${mounted[i]}" || true; done
}
trap cleanup EXIT
for fs in proc sys dev dev/pts; do
  mountpoint -q "$root/$fs" && continue
  case $fs in
    proc) mount -t proc proc "$root/proc" ;;
    sys) mount -t sysfs sysfs "$root/sys" ;;
    *) mount --bind "/$fs" "$root/$fs" ;;
  esac
  mounted+=("$root/$fs")
done
cp /etc/resolv.conf "$root/etc/resolv.conf"

in_root() {
  chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 \
    DEBIAN_FRONTEND=noninteractive "$@"
}

# Man pages are left out of a minimal root unless asked for.
rm -f "$root/etc/dpkg/dpkg.cfg.d/excludes"
scratch=$root/root/zoq-check
rm -rf "$scratch"
mkdir -p "$scratch"
cp "$runtime" "$dev" "$scratch/"
cp "$source_dir/samples/pliv/__main.xml" "$source_dir/samples/pliv/Document.xml" "$scratch/"
in_root apt-get purge -y zoq zoq-dev > /dev/null 2>&1 || true
in_root apt-get update > "$scratch/apt-update.log" || fail "apt-get update failed"
in_root apt-get install -y --no-install-recommends man-db > "$scratch/apt-man.log" ||
  fail "man-db did not install"
echo "fresh_debian_check: apt-get install -y ./$(basename "$runtime") ./$(basename "$dev")"
in_root sh -c "cd /root/zoq-check && apt-get install -y ./$(basename "$runtime") ./$(basename "$dev")" \
  > "$scratch/apt-install.log" 2>&1 || { tail -20 "$scratch/apt-install.log" >&2; fail "apt-get install failed"; }
grep -E '^(Setting up|Unpacking) zoq' "$scratch/apt-install.log" || true

# A PLIV document made by the installed zoq; its embedded schema copy is
# removed, so only /usr/share/zoq/BinarySchema can decode the part.
in_root sh -ec '
  cd /root/zoq-check
  zoq create --subset Full --docver 258 doc.pliv
  zoq add --codes zip doc.pliv /__main.xml __main.xml
  zoq add --codes sxc doc.pliv /Document.xml Document.xml
  zoq cat doc.pliv /Document.xml > expected.xml
  zoq rm doc.pliv /__ECSEnv/01/Schema.bsg
  ! zoq ls doc.pliv | grep -q Schema.bsg
  zoq cat doc.pliv /Document.xml > decoded.xml
  cmp expected.xml decoded.xml
  mv /usr/share/zoq/BinarySchema /usr/share/zoq/BinarySchema.away
  if zoq cat doc.pliv /Document.xml > /dev/null 2>&1; then
    mv /usr/share/zoq/BinarySchema.away /usr/share/zoq/BinarySchema; exit 1
  fi
  mv /usr/share/zoq/BinarySchema.away /usr/share/zoq/BinarySchema
' || fail "the installed zoq does not decode with the schemas under /usr/share/zoq"
echo "fresh_debian_check: installed zoq decodes an SXC part with /usr/share/zoq/BinarySchema"

in_root zoq --help | grep -q '^Commands:' || fail "zoq --help"
for page in zoq zoq-explorer; do
  in_root sh -c "MANWIDTH=80 man $page 2>/dev/null | col -b" > "$scratch/$page.man" || true
  grep -q 'SYNOPSIS' "$scratch/$page.man" || fail "man $page shows no page"
done
echo "fresh_debian_check: zoq --help, man zoq, man zoq-explorer"
[ -f "$root/usr/share/bash-completion/completions/zoq" ] || fail "no bash completion file"
in_root bash -c 'source /usr/share/bash-completion/completions/zoq && complete -p zoq' ||
  fail "the completion file does not register zoq"

missing=$(in_root sh -c 'ldd /usr/bin/zoq /usr/bin/zoq-explorer' | grep 'not found' || true)
[ -z "$missing" ] || fail "libraries not found: $missing"
# The browser has no --version: it is started offscreen and must still be
# running after five seconds (timeout's 124).
status=0
in_root env QT_QPA_PLATFORM=offscreen timeout 5 zoq-explorer /root/zoq-check/doc.pliv \
  > "$scratch/explorer.log" 2>&1 || status=$?
[ $status = 124 ] || { cat "$scratch/explorer.log" >&2; fail "zoq-explorer ended with $status"; }
echo "fresh_debian_check: zoq-explorer ran offscreen with the document open for 5 s"
echo "fresh_debian_check: all checks passed in $root"
