# The browser's English texts. The source texts in src/app are Chinese;
# zoq_explorer_en.ts holds their English translations. lrelease compiles it
# into a .qm that is built into the program's resources
# (":/zoqe/i18n/zoq_explorer_en.qm", registered as "zoqe_i18n"), so the
# program needs no file beside it. Included from src/app/CMakeLists.txt.
#
# `ninja zoq_lupdate` refreshes the .ts from the sources (new texts come in
# unfinished, removed ones are dropped); the test app_translation_test fails
# while a text has no translation.

set(ZOQ_TRANSLATION_DIR ${PROJECT_SOURCE_DIR}/translations)
set(ZOQ_TRANSLATION_TS ${ZOQ_TRANSLATION_DIR}/zoq_explorer_en.ts CACHE INTERNAL "")

# Qt 6's tools live in Qt's own bin folder; a lupdate on PATH may be Qt 5's.
find_program(ZOQ_LRELEASE NAMES lrelease
             PATHS ${QT6_INSTALL_PREFIX}/${QT6_INSTALL_BINS} /usr/lib/qt6/bin NO_DEFAULT_PATH)
find_program(ZOQ_LRELEASE NAMES lrelease-qt6 lrelease REQUIRED)
find_program(ZOQ_LUPDATE NAMES lupdate
             PATHS ${QT6_INSTALL_PREFIX}/${QT6_INSTALL_BINS} /usr/lib/qt6/bin NO_DEFAULT_PATH)
find_program(ZOQ_LUPDATE NAMES lupdate-qt6 lupdate REQUIRED)

set(_zoq_i18n_dir ${CMAKE_CURRENT_BINARY_DIR}/i18n)
set(_zoq_qm ${_zoq_i18n_dir}/zoq_explorer_en.qm)
file(MAKE_DIRECTORY ${_zoq_i18n_dir})
add_custom_command(
  OUTPUT ${_zoq_qm}
  COMMAND ${ZOQ_LRELEASE} -silent ${ZOQ_TRANSLATION_TS} -qm ${_zoq_qm}
  DEPENDS ${ZOQ_TRANSLATION_TS}
  COMMENT "Compiling the English translation"
  VERBATIM)
configure_file(${ZOQ_TRANSLATION_DIR}/zoqe_i18n.qrc.in ${_zoq_i18n_dir}/zoqe_i18n.qrc @ONLY)
qt6_add_resources(_zoq_i18n_sources ${_zoq_i18n_dir}/zoqe_i18n.qrc)
set_source_files_properties(${_zoq_i18n_dir}/zoqe_i18n.qrc PROPERTIES SKIP_AUTORCC ON)
target_sources(zoqe_ui PRIVATE ${_zoq_i18n_sources})

# The arguments every lupdate run takes: the browser's sources with their
# include roots (for the classes' names), no source locations in the .ts (so
# that moving code changes nothing there).
set(ZOQ_LUPDATE_ARGS -locations none -no-ui-lines -source-language zh_CN -target-language en
    -extensions cc,h -I ${PROJECT_SOURCE_DIR}/src -I ${PROJECT_SOURCE_DIR}/include
    ${PROJECT_SOURCE_DIR}/src/app CACHE INTERNAL "")
add_custom_target(zoq_lupdate
  COMMAND ${ZOQ_LUPDATE} ${ZOQ_LUPDATE_ARGS} -no-obsolete -ts ${ZOQ_TRANSLATION_TS}
  COMMENT "Refreshing translations/zoq_explorer_en.ts from src/app"
  VERBATIM)
