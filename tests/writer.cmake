# The layout library writer's tests: the Windows program that loads our
# libraries with the real loader under Wine, and the tools that read them.
find_program(TASTORA_MINGW_X86_64_CC NAMES x86_64-w64-mingw32-gcc x86_64-w64-mingw32-gcc-posix)
find_program(TASTORA_MINGW_OBJDUMP NAMES x86_64-w64-mingw32-objdump)
# The ARM64 images are read by the LLVM tools (the MinGW ones know no ARM64)
# and by pefile, which Debian installs for its own python3.
find_program(TASTORA_LLVM_OBJDUMP NAMES llvm-objdump llvm-objdump-14)
find_program(TASTORA_LLVM_READOBJ NAMES llvm-readobj llvm-readobj-14)
find_program(TASTORA_SYSTEM_PYTHON NAMES python3 PATHS /usr/bin NO_DEFAULT_PATH)
find_program(TASTORA_WINE64 NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
find_program(TASTORA_WINE64 NAMES wine64)

set(_wine_dump "")
set(_input_stub "")
if(TASTORA_MINGW_X86_64_CC)
  set(_wine_dump ${CMAKE_CURRENT_BINARY_DIR}/wine/kbddump.exe)
  add_custom_command(OUTPUT ${_wine_dump}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/wine
    COMMAND ${TASTORA_MINGW_X86_64_CC} -std=c11 -Wall -Wextra -Werror -O2 -s -o ${_wine_dump}
            ${CMAKE_CURRENT_SOURCE_DIR}/wine/kbddump.c
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/wine/kbddump.c
    COMMENT "Building the Windows table dump program"
    VERBATIM)
  # A stand-in for input.dll that records the language-list calls it gets.
  set(_input_stub ${CMAKE_CURRENT_BINARY_DIR}/wine/inputstub.dll)
  add_custom_command(OUTPUT ${_input_stub}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/wine
    COMMAND ${TASTORA_MINGW_X86_64_CC} -std=c11 -Wall -Wextra -Werror -O2 -s -shared -o ${_input_stub}
            ${CMAKE_CURRENT_SOURCE_DIR}/wine/inputstub.c
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/wine/inputstub.c
    COMMENT "Building the input.dll stand-in"
    VERBATIM)
  add_custom_target(tastora_wine_dump ALL DEPENDS ${_wine_dump} ${_input_stub})
  add_dependencies(tastora_tests tastora_wine_dump)
else()
  message(STATUS "No MinGW x86_64 compiler: the Wine loader test is skipped")
endif()

target_compile_definitions(tastora_tests PRIVATE
  TASTORA_WINE_DUMP="${_wine_dump}"
  TASTORA_INPUT_STUB="${_input_stub}"
  TASTORA_WINE64="$<$<BOOL:${TASTORA_WINE64}>:${TASTORA_WINE64}>"
  TASTORA_OBJDUMP="$<$<BOOL:${TASTORA_MINGW_OBJDUMP}>:${TASTORA_MINGW_OBJDUMP}>"
  TASTORA_LLVM_OBJDUMP="$<$<BOOL:${TASTORA_LLVM_OBJDUMP}>:${TASTORA_LLVM_OBJDUMP}>"
  TASTORA_LLVM_READOBJ="$<$<BOOL:${TASTORA_LLVM_READOBJ}>:${TASTORA_LLVM_READOBJ}>"
  TASTORA_SYSTEM_PYTHON="$<$<BOOL:${TASTORA_SYSTEM_PYTHON}>:${TASTORA_SYSTEM_PYTHON}>")
