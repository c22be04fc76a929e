# Compiler and linker settings shared by every target.

# Build paths never end up in a binary, so two checkouts build the same bytes.
add_compile_options(
  -ffile-prefix-map=${CMAKE_SOURCE_DIR}=.
  -ffile-prefix-map=${CMAKE_BINARY_DIR}=.)

# The fuzz build: every target is compiled with libFuzzer's coverage hooks and checked by
# AddressSanitizer and UndefinedBehaviorSanitizer; a UBSan finding ends the run as a crash does.
# UBSan's vptr check needs RTTI, which the product code is built without. Only the fuzz targets
# link libFuzzer itself (kavrio_fuzz_target in tests/fuzz).
if(KAVRIO_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "KAVRIO_FUZZ needs clang (cmake --preset fuzz)")
  endif()
  set(KAVRIO_SANITIZERS -fsanitize=address,undefined -fno-sanitize=vptr -fno-sanitize-recover=all)
  add_compile_options(-fsanitize=fuzzer-no-link ${KAVRIO_SANITIZERS} -fno-omit-frame-pointer -g)
endif()

# Warnings are errors on every target of our own (not on GoogleTest's).
function(kavrio_strict target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()

# Product code: no exceptions, no RTTI, texts compiled to Windows-1252, and
# dead code dropped at link time.
function(kavrio_product_code target)
  kavrio_strict(${target})
  target_compile_options(${target} PRIVATE
    -Os -fno-exceptions -fno-rtti -fno-threadsafe-statics -ffunction-sections -fdata-sections
    -fno-asynchronous-unwind-tables)
  if(WIN32)
    target_compile_options(${target} PRIVATE
      -finput-charset=UTF-8 -fexec-charset=CP1252)
  endif()
  # Windows 98 runs on a 486, and many PCs of its years have no CMOV, MMX or SSE: the
  # 32-bit build keeps to the i486 instruction set (the compiler's default, pentiumpro,
  # emits CMOV). audit/check-cpu-floor checks the linked exe.
  if(WIN32 AND CMAKE_SIZEOF_VOID_P EQUAL 4)
    target_compile_options(${target} PRIVATE -march=i486 -mtune=generic)
  endif()
endfunction()

# A Windows GUI program: statically linked, stripped, GUI subsystem 4.0, entered through
# its own WinMainCRTStartup (src/win32_entry.cpp for the launcher) instead of the C runtime's
# start-up code, no timestamp in the PE header, with a link map beside it. It may load at any
# address (DYNAMIC_BASE, with its relocations) and never runs data (NX). Run from a CD or a
# share, it is first copied to the page file (tools/run_from_swap.py, after the link): a
# medium taken out while it runs then cannot take its code away. Windows 98 ignores all three.
if(WIN32)
  find_package(Python3 REQUIRED COMPONENTS Interpreter)
endif()
function(kavrio_gui_program target)
  target_link_options(${target} PRIVATE
    -static -s -mwindows -nostartfiles -Wl,--gc-sections
    -Wl,--enable-reloc-section -Wl,--dynamicbase -Wl,--nxcompat
    -Wl,--subsystem,windows:4.0
    -Wl,--major-os-version,4 -Wl,--minor-os-version,0
    -Wl,--no-insert-timestamp
    -Wl,-Map,$<TARGET_FILE_DIR:${target}>/${target}.map)
  # The fix-up is a module of the source tree's Python code (tools/, with cdtools/); -P keeps
  # the build folder off Python's path.
  cmake_path(GET CMAKE_CURRENT_FUNCTION_LIST_DIR PARENT_PATH source_tree)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E env PYTHONPATH=${source_tree}
      $<TARGET_FILE:Python3::Interpreter> -P -m tools.run_from_swap $<TARGET_FILE:${target}>
    VERBATIM)
  # A change of the fix-up links again, so the exe never keeps an older one's header.
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS
    ${source_tree}/tools/run_from_swap.py ${source_tree}/cdtools/pe_image.py)
endfunction()

# A Windows console program used by the tests (statically linked, so that it
# needs no MinGW DLL under Wine).
function(kavrio_win_test_program target)
  kavrio_strict(${target})
  target_link_options(${target} PRIVATE -static -Wl,--no-insert-timestamp)
endfunction()
