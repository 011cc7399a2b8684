# The resources of the Windows programs: version information from the
# project's version, the icon, and the application manifest (execution level,
# the systems the program knows, for the windowed program also the themed
# common controls and per-monitor DPI). Each program gets its own .rc and
# manifest, configured into the build folder from app/win32/resources/.
if(NOT WIN32)
  return()
endif()

enable_language(RC)

set(_tastora_resources ${CMAKE_CURRENT_SOURCE_DIR}/app/win32/resources)
set(_tastora_patch "${PROJECT_VERSION_PATCH}")
if(_tastora_patch STREQUAL "")
  set(_tastora_patch 0)
endif()
set(_tastora_tweak "${PROJECT_VERSION_TWEAK}")
if(_tastora_tweak STREQUAL "")
  set(_tastora_tweak 0)
endif()
set(TASTORA_RC_VERSION4 "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${_tastora_patch}.${_tastora_tweak}")
string(REPLACE "." "," TASTORA_RC_VERSION_COMMAS "${TASTORA_RC_VERSION4}")

# tastora_windows_resources(TARGET MANIFEST DESCRIPTION): the .rc of one program.
function(tastora_windows_resources target manifest description)
  set(_out ${CMAKE_CURRENT_BINARY_DIR}/resources/${target})
  set(TASTORA_RC_NAME ${target})
  set(TASTORA_RC_FILE ${target}.exe)
  set(TASTORA_RC_DESCRIPTION "${description}")
  set(TASTORA_RC_ICON ${_tastora_resources}/tastora.ico)
  set(TASTORA_RC_MANIFEST ${_out}/${target}.manifest)
  configure_file(${_tastora_resources}/${manifest} ${TASTORA_RC_MANIFEST} @ONLY)
  configure_file(${_tastora_resources}/Program.rc.in ${_out}/${target}.rc @ONLY)
  target_sources(${target} PRIVATE ${_out}/${target}.rc)
  # windres does not see what the .rc pulls in: rebuild it when they change.
  set_source_files_properties(${_out}/${target}.rc PROPERTIES
    OBJECT_DEPENDS "${TASTORA_RC_ICON};${TASTORA_RC_MANIFEST}")
endfunction()

tastora_windows_resources(tastora tastora.manifest.in "Tastora keyboard layout installer (command line)")
if(TARGET TastoraGUI)
  tastora_windows_resources(TastoraGUI TastoraGUI.manifest.in "Tastora keyboard layout installer")
endif()
