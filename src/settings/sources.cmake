target_sources(rorurera_parts PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/configuration.cpp
  ${CMAKE_CURRENT_LIST_DIR}/settings_dialog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/settings_store.cpp
)
