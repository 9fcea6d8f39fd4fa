# Test programs of this area.

# Fuzzing: damaged JPEG XR files through the content exports, each input in a
# worker process (the same program started with --fuzz-worker). The suite runs
# 1000 inputs; scripts/fuzz.sh runs the long one.
rorurera_add_test(fuzz_test
  ${CMAKE_CURRENT_LIST_DIR}/fuzz_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/fuzz_campaign.cpp
  ${CMAKE_CURRENT_LIST_DIR}/fuzz_worker.cpp
  ${CMAKE_CURRENT_LIST_DIR}/fuzz_input.cpp
  ${CMAKE_CURRENT_LIST_DIR}/fuzz_probe.cpp
  ${CMAKE_CURRENT_LIST_DIR}/fuzz_allocations.cpp
  TIMEOUT 400
  # A shorter run through the pool row loops.
  POOL_ROWS POOL_FILTER Fuzz.Campaign POOL_ARGS --fuzz-inputs=300 "--fuzz-out=Z:${CMAKE_BINARY_DIR}/fuzz-pool-rows")
target_compile_definitions(fuzz_test PRIVATE RORURERA_FUZZ_OUTPUT_DIR="Z:${CMAKE_BINARY_DIR}/fuzz")
