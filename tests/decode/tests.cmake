# Test programs of this area.
rorurera_add_test(pixel_format_table_test ${CMAKE_CURRENT_LIST_DIR}/pixel_format_table_test.cpp UNIT)
rorurera_add_test(frame_reading_test ${CMAKE_CURRENT_LIST_DIR}/frame_reading_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/wrapped_decoder.cpp UNIT)
rorurera_add_test(picture_info_test ${CMAKE_CURRENT_LIST_DIR}/picture_info_test.cpp)
# It asks the imaging component itself what an empty stream gives.
target_link_libraries(picture_info_test PRIVATE ole32 shlwapi uuid)
