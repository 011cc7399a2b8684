# The windowed program's tests: a small Windows program that starts
# TastoraGUI.exe under Wine and drives its windows through window messages.
# Without the MinGW x86_64 C++ compiler the tests that need it are skipped.
find_program(TASTORA_MINGW_X86_64_CXX NAMES x86_64-w64-mingw32-g++ x86_64-w64-mingw32-g++-posix)

set(_gui_driver "")
if(TASTORA_MINGW_X86_64_CXX)
  set(_gui_driver ${CMAKE_CURRENT_BINARY_DIR}/wine/guidriver.exe)
  add_custom_command(OUTPUT ${_gui_driver}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/wine
    COMMAND ${TASTORA_MINGW_X86_64_CXX} -std=c++20 -Wall -Wextra -Werror -O2 -s -static -municode
            -o ${_gui_driver} ${CMAKE_CURRENT_SOURCE_DIR}/wine/gui/guidriver.cpp -lgdi32 -luser32
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/wine/gui/guidriver.cpp
    COMMENT "Building the GUI test driver"
    VERBATIM)
  add_custom_target(tastora_gui_driver ALL DEPENDS ${_gui_driver})
  add_dependencies(tastora_tests tastora_gui_driver)
else()
  message(STATUS "No MinGW x86_64 C++ compiler: the GUI tests under Wine are skipped")
endif()

target_compile_definitions(tastora_tests PRIVATE TASTORA_GUI_DRIVER="${_gui_driver}")
