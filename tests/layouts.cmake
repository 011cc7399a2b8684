# Layout libraries built from our own C sources (tests/data/layouts) by the
# MinGW toolchain, for the reader's tests: each source as an i686 library
# (8-byte reference fields, relocated 32-bit references), an x86_64 one whose
# base lies above 4 GB, and an i686 one with plain 4-byte references
# (i686-ref32), the form of native 32-bit Windows (and, below, an ARM64 one
# built by clang and lld-link). File and section alignment
# are equal so that a table's file offset is its RVA, as the reader's file
# walk expects.
find_program(TASTORA_MINGW_I686_CC NAMES i686-w64-mingw32-gcc i686-w64-mingw32-gcc-posix)
find_program(TASTORA_MINGW_X86_64_CC NAMES x86_64-w64-mingw32-gcc x86_64-w64-mingw32-gcc-posix)

set(TASTORA_TEST_LAYOUTS_DIR ${CMAKE_CURRENT_BINARY_DIR}/layouts)
set(_layouts_src ${CMAKE_CURRENT_SOURCE_DIR}/data/layouts)
file(GLOB _layout_sources CONFIGURE_DEPENDS ${_layouts_src}/*.c)
set(_layout_outputs)
foreach(_arch i686 x86_64 i686-ref32)
  set(_defines)
  if(_arch STREQUAL i686)
    set(_cc ${TASTORA_MINGW_I686_CC})
    set(_base 0x10000000)
  elseif(_arch STREQUAL i686-ref32)
    set(_cc ${TASTORA_MINGW_I686_CC})
    set(_base 0x10000000)
    set(_defines -DTASTORA_REF32)
  else()
    set(_cc ${TASTORA_MINGW_X86_64_CC})
    set(_base 0x180000000)
  endif()
  if(NOT _cc)
    message(STATUS "No MinGW ${_arch} compiler: the tests that read compiled layout libraries are skipped")
    continue()
  endif()
  foreach(_src ${_layout_sources})
    get_filename_component(_name ${_src} NAME_WE)
    set(_out ${TASTORA_TEST_LAYOUTS_DIR}/${_name}-${_arch}.dll)
    add_custom_command(OUTPUT ${_out}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${TASTORA_TEST_LAYOUTS_DIR}
      COMMAND ${_cc} ${_defines} -std=c11 -Wall -Wextra -Werror -O2 -s -shared -nostdlib -fno-asynchronous-unwind-tables
              -Wl,--entry=0 -Wl,--file-alignment,0x1000 -Wl,--image-base,${_base} -o ${_out} ${_src}
      DEPENDS ${_src} ${_layouts_src}/kbd_layout.h
      COMMENT "Building test layout library ${_name}-${_arch}.dll"
      VERBATIM)
    list(APPEND _layout_outputs ${_out})
  endforeach()
endforeach()

# The same layout with the linker's usual file alignment, so that file offsets
# differ from section addresses, as in the system's own libraries; read only
# through the loader.
if(TASTORA_MINGW_I686_CC)
  set(_out ${TASTORA_TEST_LAYOUTS_DIR}/features-i686-packed.dll)
  add_custom_command(OUTPUT ${_out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${TASTORA_TEST_LAYOUTS_DIR}
    COMMAND ${TASTORA_MINGW_I686_CC} -std=c11 -Wall -Wextra -Werror -O2 -s -shared -nostdlib -fno-asynchronous-unwind-tables
            -Wl,--entry=0 -Wl,--image-base,0x10000000 -o ${_out} ${_layouts_src}/features.c
    DEPENDS ${_layouts_src}/features.c ${_layouts_src}/kbd_layout.h
    COMMENT "Building test layout library features-i686-packed.dll"
    VERBATIM)
  list(APPEND _layout_outputs ${_out})
endif()

# The same sources as ARM64 libraries, linked as a linker links a data-only
# DLL (no entry point, no runtime), by clang and lld-link: what our ARM64
# images are compared with. The linker's own image base (above 4 GB); file
# alignment as above, so that the file walk reads them too. Skipped when
# the tools or clang's AArch64 target are missing.
find_program(TASTORA_CLANG NAMES clang clang-14)
find_program(TASTORA_LLD_LINK NAMES lld-link lld-link-14)
set(_arm64 OFF)
if(TASTORA_CLANG AND TASTORA_LLD_LINK)
  set(_probe ${CMAKE_CURRENT_BINARY_DIR}/arm64-probe.c)
  file(WRITE ${_probe} "int probe(void) { return 0; }\n")
  execute_process(COMMAND ${TASTORA_CLANG} --target=aarch64-pc-windows-msvc -ffreestanding -c ${_probe}
                          -o ${CMAKE_CURRENT_BINARY_DIR}/arm64-probe.obj
                  RESULT_VARIABLE _probe_result OUTPUT_QUIET ERROR_QUIET)
  if(_probe_result EQUAL 0)
    set(_arm64 ON)
  endif()
endif()
if(_arm64)
  foreach(_src ${_layout_sources})
    get_filename_component(_name ${_src} NAME_WE)
    set(_obj ${TASTORA_TEST_LAYOUTS_DIR}/${_name}-arm64.obj)
    set(_out ${TASTORA_TEST_LAYOUTS_DIR}/${_name}-arm64.dll)
    add_custom_command(OUTPUT ${_out}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${TASTORA_TEST_LAYOUTS_DIR}
      COMMAND ${TASTORA_CLANG} --target=aarch64-pc-windows-msvc -ffreestanding -std=c11 -Wall -Wextra -Werror -O2
              -c ${_src} -o ${_obj}
      COMMAND ${TASTORA_LLD_LINK} /nologo /dll /noentry /nodefaultlib /machine:arm64 /export:KbdLayerDescriptor
              /filealign:0x1000 /implib:${TASTORA_TEST_LAYOUTS_DIR}/${_name}-arm64.lib /out:${_out} ${_obj}
      DEPENDS ${_src} ${_layouts_src}/kbd_layout.h
      COMMENT "Building test layout library ${_name}-arm64.dll"
      VERBATIM)
    list(APPEND _layout_outputs ${_out})
  endforeach()
else()
  message(STATUS "No clang with the AArch64 target, or no lld-link: the ARM64 comparison tests are skipped")
endif()

add_custom_target(tastora_test_layouts ALL DEPENDS ${_layout_outputs})
add_dependencies(tastora_tests tastora_test_layouts)
target_compile_definitions(tastora_tests PRIVATE TASTORA_TEST_LAYOUTS_DIR="${TASTORA_TEST_LAYOUTS_DIR}")
