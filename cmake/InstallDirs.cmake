# Where an installation puts the binary schemas, and how an installed program
# finds them from its own folder (a relative path keeps a staged, unpacked or
# moved installation working).
set(ZOQ_INSTALL_SCHEMA_DIR ${CMAKE_INSTALL_DATADIR}/zoq/BinarySchema)
if(IS_ABSOLUTE ${CMAKE_INSTALL_DATADIR})
  set(ZOQ_SCHEMA_DIR_ABSOLUTE ${ZOQ_INSTALL_SCHEMA_DIR})
else()
  set(ZOQ_SCHEMA_DIR_ABSOLUTE ${CMAKE_INSTALL_PREFIX}/${ZOQ_INSTALL_SCHEMA_DIR})
endif()
file(RELATIVE_PATH ZOQ_SCHEMA_DIR_FROM_BIN ${CMAKE_INSTALL_FULL_BINDIR} ${ZOQ_SCHEMA_DIR_ABSOLUTE})
