# Debian packages through CPack (`make package`, from the installable Release
# build): "zoq" with the programs, the shared library, schemas, desktop
# integration, man pages and completion, and "zoq-dev" with what building
# against the library needs. Run-time dependencies of "zoq" come from
# dpkg-shlibdeps (package dpkg-dev).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zoq)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "ZOQ Explorer developers")
set(CPACK_PACKAGE_CONTACT "ZOQ Explorer developers <zoq-explorer@localhost>")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL runtime dev)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(_zoq_deb_version ${PROJECT_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE})

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME zoq)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SHLIBDEPS ON)
# The library inside the package itself, where dpkg-shlibdeps (run in the
# package's staging folder) finds it.
string(REGEX REPLACE "^/" "" _zoq_staged_libdir ${CMAKE_INSTALL_FULL_LIBDIR})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${_zoq_staged_libdir})
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
# Programs built against libzoqcore.so.0.1 need at least this version.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
# Qt loads the window system support (xcb, wayland) and the SVG support
# (the icon, SVG parts) as plugins, which dpkg-shlibdeps cannot see.
set(CPACK_DEBIAN_RUNTIME_PACKAGE_DEPENDS "libqt6svg6, qt6-qpa-plugins")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_RECOMMENDS
  "fonts-wqy-microhei | fonts-noto-cjk, breeze-icon-theme | adwaita-icon-theme, qt6-image-formats-plugins, qt6-translations-l10n, xdg-utils")
# Descriptions: the first line is the summary; an empty line separates
# paragraphs.
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION "browser, command-line tool and library for ZOQ packages
ZOQ packages hold a tree of folders and parts together with their whole
revision history in one file; parts may be stored zlib-compressed,
AES-128-CTR encrypted or as SXC schema-driven binary XML. PLIV documents are
ZOQ packages whose XML parts are SXC.

This package holds zoq-explorer, a desktop browser for packages and their
revisions, the command-line tool zoq (list, show, extract, verify, create
and edit packages; compile schemas, convert binary XML), the shared library
both use, and the binary schemas of PLIV documents.")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME zoq-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS
  "zoq (= ${_zoq_deb_version}), zlib1g-dev, libdeflate-dev, libisal-dev, libexpat1-dev, libssl-dev,\
 libpcre2-dev, pkg-config")
set(CPACK_COMPONENT_DEV_DESCRIPTION "development files of the ZOQ package library
Headers, the static library, CMake package files (find_package(zoq):
zoq::zoqcore, zoq::zoqcore_static) and the pkg-config file (zoq) for
programs that read and write ZOQ packages.")

include(CPack)
