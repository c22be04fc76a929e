# Cross-compiles the same source for x86-64, as a compile check.
set(KAVRIO_MINGW_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
