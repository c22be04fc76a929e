# Cross-compiles the shipped 32-bit launcher and the Windows-tier tests with MinGW-w64.
set(KAVRIO_MINGW_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
