target_sources(rorurera_parts PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/container_format.cpp
  ${CMAKE_CURRENT_LIST_DIR}/container_values.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pixel_format_table.cpp
  ${CMAKE_CURRENT_LIST_DIR}/picture_info.cpp
  ${CMAKE_CURRENT_LIST_DIR}/frame_source.cpp
  ${CMAKE_CURRENT_LIST_DIR}/stored_frame.cpp
)
