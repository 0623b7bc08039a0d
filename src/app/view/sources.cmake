# The item viewers: text, XML, hex and image views, find, key entry and the
# XML write-back.
find_package(OpenJPEG CONFIG REQUIRED)
target_sources(zoqe_ui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/find_dialog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/image_loader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/item_viewer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/jpeg2000_reader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/key_dialog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/picture_ctrl.cpp
  ${CMAKE_CURRENT_LIST_DIR}/psd_reader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/temp_target.cpp
  ${CMAKE_CURRENT_LIST_DIR}/text_format.cpp
  ${CMAKE_CURRENT_LIST_DIR}/text_view.cpp
  ${CMAKE_CURRENT_LIST_DIR}/view_mode.cpp
  ${CMAKE_CURRENT_LIST_DIR}/xml_write_back.cpp
)
target_link_libraries(zoqe_ui PUBLIC openjp2)
