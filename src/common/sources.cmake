target_sources(rorurera_parts PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/plugin_result.cpp
  ${CMAKE_CURRENT_LIST_DIR}/module_identity.cpp
)
