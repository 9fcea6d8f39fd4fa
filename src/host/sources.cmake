# The exports and the attach/detach handling are the module's own (see the
# top-level list); these are the host interface's inner parts.
target_sources(rorurera_parts PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/com_scope.cpp
  ${CMAKE_CURRENT_LIST_DIR}/input_source.cpp
  ${CMAKE_CURRENT_LIST_DIR}/format_detection.cpp
  ${CMAKE_CURRENT_LIST_DIR}/plugin_info.cpp
  ${CMAKE_CURRENT_LIST_DIR}/text_conversion.cpp
  ${CMAKE_CURRENT_LIST_DIR}/requests.cpp
)
