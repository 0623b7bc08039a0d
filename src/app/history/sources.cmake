# Working with the package's history in the browser: comparing versions of
# a part side by side, restoring a version, searching the package's content
# and opening the readable revisions of a damaged package.
target_sources(zoqe_ui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/code_text.cc
  ${CMAKE_CURRENT_LIST_DIR}/compare_job.cc
  ${CMAKE_CURRENT_LIST_DIR}/compare_window.cc
  ${CMAKE_CURRENT_LIST_DIR}/find_pane.cc
  ${CMAKE_CURRENT_LIST_DIR}/history_tools.cc
  ${CMAKE_CURRENT_LIST_DIR}/line_diff.cc
  ${CMAKE_CURRENT_LIST_DIR}/package_search.cc
  ${CMAKE_CURRENT_LIST_DIR}/recovery_offer.cc
  ${CMAKE_CURRENT_LIST_DIR}/version_content.cc
)
