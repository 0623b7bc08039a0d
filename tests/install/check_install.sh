#!/usr/bin/env bash
# Checks an installable build from the outside, never touching the system:
#  - a staged `cmake --install` (DESTDIR) whose zoq decodes an SXC part that
#    carries no schema, with the schemas found under share/;
#  - a project outside the tree built against the staged library through
#    find_package(zoq) (shared and static) and through pkg-config, and run;
#  - the Debian packages made by cpack: file lists, Depends, and the zoq
#    unpacked from the package (dpkg-deb -x) decoding the same part;
#  - the MIME type (by name and by content) as the desktop reads it.
#
# usage: check_install.sh BUILD_DIR
#   BUILD_DIR: a Release build configured with -DZOQ_LINK_SHARED=ON, built,
#   with the packages made there by `cpack -G DEB`.
set -euo pipefail

build=$(realpath "$1")
source_dir=$(realpath "$(dirname "$0")/../..")
work=$build/install-check
rm -rf "$work"
mkdir -p "$work"

fail() {
  echo "check_install: $*" >&2
  exit 1
}

prefix=$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' "$build/CMakeCache.txt")
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ -n "$prefix" ] && [ -n "$version" ] || fail "$build is not a configured build folder"

# Staged installation.
stage=$work/stage
DESTDIR=$stage cmake --install "$build" > "$work/install.log"
root=$stage$prefix
pc=$(find "$root" -name zoq.pc)
[ -n "$pc" ] || fail "no zoq.pc installed"
libdir=$(dirname "$(dirname "$pc")")
schemas=$root/share/zoq/BinarySchema
[ -f "$schemas/PLIV_Full_v1.2.bsg" ] || fail "no schemas under $schemas"
[ ! -e "$root/bin/Resource" ] || fail "schemas installed beside the programs"

# A PLIV document whose binary XML part is decoded with the installed
# schemas: zoq embeds the schema when it stores the part; removing that copy
# leaves the schema folder as the only source.
make_document() {
  local zoq=$1 doc=$2
  "$zoq" create --subset Full --docver 258 "$doc"
  "$zoq" add --codes zip "$doc" /__main.xml "$source_dir/samples/pliv/__main.xml"
  "$zoq" add --codes sxc "$doc" /Document.xml "$source_dir/samples/pliv/Document.xml"
  "$zoq" cat "$doc" /Document.xml > "$work/expected.xml"
  "$zoq" rm "$doc" /__ECSEnv/01/Schema.bsg
  if "$zoq" ls "$doc" | grep -q Schema.bsg; then fail "the embedded schema is still listed"; fi
}

decodes_with_schema_folder() {
  local zoq=$1 doc=$2 schema_folder=$3
  "$zoq" cat "$doc" /Document.xml > "$work/decoded.xml" || fail "$zoq cannot decode the part"
  cmp -s "$work/expected.xml" "$work/decoded.xml" || fail "$zoq decoded the part differently"
  # Without the schema folder the same command fails: the schemas came from it.
  mv "$schema_folder" "$schema_folder.away"
  if "$zoq" cat "$doc" /Document.xml > /dev/null 2>&1; then
    mv "$schema_folder.away" "$schema_folder"
    fail "$zoq decoded the part without its schema folder"
  fi
  mv "$schema_folder.away" "$schema_folder"
}

export LD_LIBRARY_PATH=$libdir
doc=$work/document.pliv
make_document "$root/bin/zoq" "$doc"
decodes_with_schema_folder "$root/bin/zoq" "$doc" "$schemas"
echo "check_install: staged zoq decodes with the schemas under share/zoq"

# Outside projects: find_package (shared and static) and pkg-config.
run_consumer() {
  local program=$1
  local scratch=$work/scratch-${program##*/}
  mkdir -p "$scratch"
  "$program" "$scratch" "$schemas" "$source_dir/samples/pliv/Document.xml" ||
    fail "$program failed"
}
consumer_source=$source_dir/tests/install/consumer
for kind in shared static; do
  static=OFF
  [ $kind = static ] && static=ON
  cmake -S "$consumer_source" -B "$work/consumer-$kind" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_PREFIX_PATH="$root" -DZOQ_STATIC=$static > "$work/consumer-$kind.log" ||
    fail "find_package(zoq) failed; see $work/consumer-$kind.log"
  cmake --build "$work/consumer-$kind" >> "$work/consumer-$kind.log" ||
    fail "the find_package consumer ($kind) did not build; see $work/consumer-$kind.log"
  cp "$work/consumer-$kind/consumer" "$work/cmake-$kind-consumer"
  run_consumer "$work/cmake-$kind-consumer"
done
if ldd "$work/cmake-static-consumer" | grep -q libzoqcore; then
  fail "the static consumer loads libzoqcore.so"
fi
flags=$(PKG_CONFIG_SYSROOT_DIR=$stage PKG_CONFIG_PATH=$(dirname "$pc") pkg-config --cflags --libs zoq) ||
  fail "pkg-config does not know zoq"
# shellcheck disable=SC2086
c++ -std=c++17 -o "$work/pkg-config-consumer" "$consumer_source/main.cc" $flags ||
  fail "the pkg-config consumer did not build"
run_consumer "$work/pkg-config-consumer"
echo "check_install: consumers built with find_package (shared, static) and pkg-config ran"

# The Debian packages.
arch=$(dpkg --print-architecture)
runtime=$build/zoq_${version}-1_${arch}.deb
dev=$build/zoq-dev_${version}-1_${arch}.deb
[ -f "$runtime" ] && [ -f "$dev" ] || fail "no packages $runtime and $dev (run cpack -G DEB)"
dpkg-deb -c "$runtime" | awk '{print $6}' | sed 's|^\./||' > "$work/runtime.list"
dpkg-deb -c "$dev" | awk '{print $6}' | sed 's|^\./||' > "$work/dev.list"
multiarch=${libdir#"$stage/"}
for path in usr/bin/zoq usr/bin/zoq-explorer "$multiarch/libzoqcore.so.0.1" \
    usr/share/zoq/BinarySchema/PLIV_Full_v1.0.bsg usr/share/zoq/BinarySchema/PLIV_Full_v1.1.bsg \
    usr/share/zoq/BinarySchema/PLIV_Full_v1.2.bsg usr/share/applications/zoq-explorer.desktop \
    usr/share/mime/packages/zoq-explorer-mime.xml \
    usr/share/icons/hicolor/scalable/apps/zoq-explorer.svg usr/share/man/man1/zoq.1.gz \
    usr/share/man/man1/zoq-explorer.1.gz usr/share/bash-completion/completions/zoq; do
  grep -qx "$path" "$work/runtime.list" || fail "zoq package lacks $path"
done
for path in usr/include/zoq/container.h usr/include/zoq/export.h "$multiarch/libzoqcore.a" \
    "$multiarch/libzoqcore.so" "$multiarch/pkgconfig/zoq.pc" "$multiarch/cmake/zoq/zoqConfig.cmake" \
    "$multiarch/cmake/zoq/zoqConfigVersion.cmake"; do
  grep -qx "$path" "$work/dev.list" || fail "zoq-dev package lacks $path"
done
if grep -q '^usr/include/\|\.a$' "$work/runtime.list"; then fail "development files in the zoq package"; fi
if grep -q '^usr/bin/\|\.bsg$' "$work/dev.list"; then fail "run-time files in the zoq-dev package"; fi
depends=$(dpkg-deb -f "$runtime" Depends)
for library in libc6 libstdc++6 zlib1g libdeflate0 libisal2 libexpat1 libssl3 libqt6core6 \
    libqt6widgets6 libqt6svg6 qt6-qpa-plugins libqscintilla2-qt6-15 libopenjp2-7 libpcre2-8-0; do
  [[ ", $depends," =~ ", $library"[\ ,] ]] || fail "zoq Depends lacks $library: $depends"
done
[[ $depends != *"zoq"* ]] || fail "zoq depends on itself: $depends"
[[ $(dpkg-deb -f "$dev" Depends) == "zoq (= ${version}-1)"* ]] || fail "zoq-dev does not depend on zoq"
echo "check_install: zoq Depends: $depends"

# The zoq of the package, unpacked, reads the same document with the
# package's schemas.
unpacked=$work/unpacked
dpkg-deb -x "$runtime" "$unpacked"
LD_LIBRARY_PATH=$unpacked/$multiarch \
  decodes_with_schema_folder "$unpacked/usr/bin/zoq" "$doc" "$unpacked/usr/share/zoq/BinarySchema"
echo "check_install: zoq unpacked from the package decodes with its schemas"

# The MIME types as the desktop's database compiles them: by name and by the
# first bytes of the file.
mime=$work/mime
mkdir -p "$mime/packages"
cp "$unpacked/usr/share/mime/packages/zoq-explorer-mime.xml" "$mime/packages/"
update-mime-database "$mime" 2> "$work/mime.log" || fail "update-mime-database failed: $(cat "$work/mime.log")"
grep -q 'application/x-zoq-package:\*\.zoq' "$mime/globs2" || fail "no glob for .zoq"
grep -q 'application/x-pliv-document:\*\.pliv' "$mime/globs2" || fail "no glob for .pliv"
grep -qa '@ZOQ' "$mime/magic" || fail "no magic for packages"
echo "check_install: all checks passed"
