# Export of folders and parts: the two export commands, the target folder
# dialog, progress and dragging items out of the window.
target_sources(zoqe_ui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/drag_out.cpp
  ${CMAKE_CURRENT_LIST_DIR}/export_command.cpp
  ${CMAKE_CURRENT_LIST_DIR}/export_folder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/export_job.cpp
  ${CMAKE_CURRENT_LIST_DIR}/export_progress.cpp
  ${CMAKE_CURRENT_LIST_DIR}/select_dir.cpp
)
