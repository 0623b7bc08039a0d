# Editing packages in the window: new package, adding files (menu and
# drops, encoded off the window's thread), deleting, renaming, saving.
target_sources(zoqe_ui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/add_codes_dialog.cc
  ${CMAKE_CURRENT_LIST_DIR}/add_job.cc
  ${CMAKE_CURRENT_LIST_DIR}/add_plan.cc
  ${CMAKE_CURRENT_LIST_DIR}/edit_commands.cc
  ${CMAKE_CURRENT_LIST_DIR}/new_package_dialog.cc
)
