rorurera_add_test(exports_test ${CMAKE_CURRENT_LIST_DIR}/exports_test.cpp)
rorurera_add_test(format_detection_test ${CMAKE_CURRENT_LIST_DIR}/format_detection_test.cpp)
rorurera_add_test(damaged_container_test ${CMAKE_CURRENT_LIST_DIR}/damaged_container_test.cpp)
