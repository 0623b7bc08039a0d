#!/usr/bin/env bash
# Installs the Debian packages the project needs to build, test, benchmark and fuzz.
# Idempotent: only packages that are missing are installed.
set -euo pipefail

PACKAGES=(
  # build
  build-essential cmake ninja-build pkg-config git
  zlib1g-dev libdeflate-dev libisal-dev libexpat1-dev libssl-dev openssl
  # zoq grep: PCRE2 regular expressions; zoq diff: GNU diff for unified diffs
  libpcre2-dev diffutils
  # desktop program
  qt6-base-dev qt6-svg-dev libqscintilla2-qt6-dev qt6-image-formats-plugins qt6-qpa-plugins
  libopenjp2-7-dev shared-mime-info breeze-icon-theme adwaita-icon-theme fonts-wqy-microhei fontconfig
  xvfb xauth xdg-utils imagemagick xdotool
  # Qt's own Chinese texts for the standard buttons and dialogs; lupdate and
  # lrelease for the browser's English translation
  qt6-translations-l10n qt6-l10n-tools
  # Debian packages (dpkg-shlibdeps, file), man pages
  dpkg-dev file groff-base
  # tests, benchmarks, fuzzing
  libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-14-dev
  hyperfine time qpdf unzip zip libxml2-utils
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all ${#PACKAGES[@]} packages present"
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
SUDO=()
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then
    SUDO=(sudo)
  else
    echo "install-deps: not root and no sudo; install these packages by hand: ${missing[*]}" >&2
    exit 1
  fi
fi

export DEBIAN_FRONTEND=noninteractive
if ! "${SUDO[@]}" apt-get update -q; then
  echo "install-deps: apt-get update failed (is a Debian package mirror reachable?)" >&2
  exit 1
fi
if ! "${SUDO[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"; then
  echo "install-deps: apt-get install failed for: ${missing[*]}" >&2
  exit 1
fi
echo "install-deps: done"
