# Test programs of this area.
rorurera_add_test(settings_store_test ${CMAKE_CURRENT_LIST_DIR}/settings_store_test.cpp UNIT REGISTRY)
rorurera_add_test(dialog_test ${CMAKE_CURRENT_LIST_DIR}/dialog_test.cpp REGISTRY)
