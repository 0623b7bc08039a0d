# The item viewers: text, XML, hex and image views, find, key entry and the
# XML write-back.
find_package(OpenJPEG CONFIG REQUIRED)
target_sources(zoqe_ui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/edit_tracker.cc
  ${CMAKE_CURRENT_LIST_DIR}/find_dialog.cc
  ${CMAKE_CURRENT_LIST_DIR}/image_loader.cc
  ${CMAKE_CURRENT_LIST_DIR}/item_viewer.cc
  ${CMAKE_CURRENT_LIST_DIR}/jpeg2000_reader.cc
  ${CMAKE_CURRENT_LIST_DIR}/key_dialog.cc
  ${CMAKE_CURRENT_LIST_DIR}/part_job.cc
  ${CMAKE_CURRENT_LIST_DIR}/picture_view.cc
  ${CMAKE_CURRENT_LIST_DIR}/psd_reader.cc
  ${CMAKE_CURRENT_LIST_DIR}/shown_text.cc
  ${CMAKE_CURRENT_LIST_DIR}/temp_target.cc
  ${CMAKE_CURRENT_LIST_DIR}/text_format.cc
  ${CMAKE_CURRENT_LIST_DIR}/text_view.cc
  ${CMAKE_CURRENT_LIST_DIR}/view_mode.cc
  ${CMAKE_CURRENT_LIST_DIR}/xml_check.cc
  ${CMAKE_CURRENT_LIST_DIR}/xml_layout.cc
  ${CMAKE_CURRENT_LIST_DIR}/xml_write_back.cc
)
target_link_libraries(zoqe_ui PUBLIC openjp2)
