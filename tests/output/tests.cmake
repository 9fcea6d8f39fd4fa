# Test programs of this area.
rorurera_add_test(pixel_buffer_test
  ${CMAKE_CURRENT_LIST_DIR}/pixel_buffer_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/source_copy_test.cpp
  UNIT)
rorurera_add_test(native_pixels_test ${CMAKE_CURRENT_LIST_DIR}/native_pixels_test.cpp UNIT)
rorurera_add_test(pixel_stages_test ${CMAKE_CURRENT_LIST_DIR}/pixel_stages_test.cpp UNIT REGISTRY)
rorurera_add_test(get_picture_test ${CMAKE_CURRENT_LIST_DIR}/get_picture_test.cpp REGISTRY POOL_ROWS)
rorurera_add_test(assemble_picture_test ${CMAKE_CURRENT_LIST_DIR}/assemble_picture_test.cpp UNIT REGISTRY)
rorurera_add_test(tone_map_test ${CMAKE_CURRENT_LIST_DIR}/tone_map_test.cpp UNIT)
rorurera_add_test(tone_map_picture_test ${CMAKE_CURRENT_LIST_DIR}/tone_map_picture_test.cpp REGISTRY POOL_ROWS)
