# Robustness as a host sees it: threads, COM states, load and unload, code pages.
add_library(robustness_support STATIC ${CMAKE_CURRENT_LIST_DIR}/request_outcome.cpp)
target_link_libraries(robustness_support PUBLIC test_support)

rorurera_add_test(concurrency_test ${CMAKE_CURRENT_LIST_DIR}/concurrency_test.cpp REGISTRY POOL_ROWS)
# Its pictures with alpha follow the saved settings: not beside tests that
# write them.
rorurera_add_test(load_unload_test ${CMAKE_CURRENT_LIST_DIR}/load_unload_test.cpp REGISTRY POOL_ROWS)
# Wine takes its ANSI code page from the locale.
rorurera_add_test(codepage_test ${CMAKE_CURRENT_LIST_DIR}/codepage_test.cpp PROPERTIES ENVIRONMENT LC_ALL=ja_JP.UTF-8)
foreach(t concurrency_test load_unload_test codepage_test)
  target_link_libraries(${t} PRIVATE robustness_support)
endforeach()
# No runtime part that keeps records beyond an unload is linked into the
# module (read from its symbol table; no Wine needed).
add_test(NAME runtime_state_check
  COMMAND ${CMAKE_COMMAND} -DNM=${CMAKE_NM} -DMODULE=$<TARGET_FILE:Rorurera>
          -P ${CMAKE_CURRENT_LIST_DIR}/runtime_state_check.cmake)
