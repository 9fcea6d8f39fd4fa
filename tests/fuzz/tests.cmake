# Test programs of this area.

# Fuzzing: damaged JPEG XR files through the content exports, each input in a
# worker process (the same program started with --fuzz-worker). The suite runs
# 1000 inputs; scripts/fuzz.sh runs the long one.
rorurera_add_test(fuzz_test
  fuzz/fuzz_test.cpp
  fuzz/fuzz_campaign.cpp
  fuzz/fuzz_worker.cpp
  fuzz/fuzz_input.cpp
  fuzz/fuzz_probe.cpp
  fuzz/fuzz_allocations.cpp
  TIMEOUT 400
  # A shorter run through the pool row loops.
  POOL_ROWS POOL_FILTER Fuzz.Campaign POOL_ARGS --fuzz-inputs=300 "--fuzz-out=Z:${CMAKE_BINARY_DIR}/fuzz-pool-rows")
target_compile_definitions(fuzz_test PRIVATE RORURERA_FUZZ_OUTPUT_DIR="Z:${CMAKE_BINARY_DIR}/fuzz")
