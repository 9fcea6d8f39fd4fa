target_sources(rorurera_parts PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/picture_assembly.cpp
  ${CMAKE_CURRENT_LIST_DIR}/picture_path.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pixel_buffer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pixel_stages.cpp
  ${CMAKE_CURRENT_LIST_DIR}/palette.cpp
  ${CMAKE_CURRENT_LIST_DIR}/native_pixels.cpp
  ${CMAKE_CURRENT_LIST_DIR}/native_copy.cpp
  ${CMAKE_CURRENT_LIST_DIR}/tone_map.cpp
  ${CMAKE_CURRENT_LIST_DIR}/tone_mapped_frame.cpp
)
