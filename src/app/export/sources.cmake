# Export of folders and parts: the two export commands, the target folder
# dialog, progress and dragging items out of the window.
target_sources(zoqe_ui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/drag_out.cc
  ${CMAKE_CURRENT_LIST_DIR}/export_command.cc
  ${CMAKE_CURRENT_LIST_DIR}/export_progress.cc
  ${CMAKE_CURRENT_LIST_DIR}/folder_dialog.cc
)
