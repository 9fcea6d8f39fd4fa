# Little CMS 2 (lcms2), built as a static library with our toolchain from
# Debian's source package, which scripts/setup.sh unpacks (Debian's patches
# applied) into build/third_party/lcms2. Its C sources of src/, its include/
# as the public include folder (a system one, so that its header raises no
# warnings in our code), its own warnings off for this target only.
set(RORURERA_LCMS2_DIR "${CMAKE_SOURCE_DIR}/build/third_party/lcms2" CACHE PATH
  "Little CMS 2's unpacked source (Debian's source package, made by scripts/setup.sh)")
if(NOT EXISTS "${RORURERA_LCMS2_DIR}/include/lcms2.h" OR NOT EXISTS "${RORURERA_LCMS2_DIR}/src/cmsxform.c")
  message(FATAL_ERROR
    "Little CMS 2's source is missing at RORURERA_LCMS2_DIR=${RORURERA_LCMS2_DIR}: "
    "run scripts/setup.sh, which fetches Debian's lcms2 source package into build/third_party/lcms2 "
    "(or set RORURERA_LCMS2_DIR to another unpacked lcms2 source)")
endif()
file(GLOB RORURERA_LCMS2_SOURCES CONFIGURE_DEPENDS "${RORURERA_LCMS2_DIR}/src/*.c")
add_library(lcms2 STATIC ${RORURERA_LCMS2_SOURCES})
target_include_directories(lcms2 SYSTEM PUBLIC "${RORURERA_LCMS2_DIR}/include")
target_include_directories(lcms2 PRIVATE "${RORURERA_LCMS2_DIR}/src")
target_compile_options(lcms2 PRIVATE -w)
# Without its locks: on Windows the library makes, at the first use in each
# load of the module, a mutex handle and a critical section for its list of
# contexts that nothing ever frees (measured: one handle and 48 heap bytes
# per load and unload). The module needs none of them: its one context is
# made and deleted under the loader's lock, profiles are read by one
# thread, and the transforms shared by the row loops' threads are made
# without their one-pixel cache, which is all they would lock.
target_compile_definitions(lcms2 PRIVATE CMS_NO_PTHREADS)
