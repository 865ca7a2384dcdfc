# The Windows programs' resources: the version Explorer shows in a file's
# properties and Windows Installer compares, and for the window program its
# icon (Explorer, the taskbar, the Start menu, the link scheme's icon).
enable_language(RC)

# nerolin_program_resources(<target> DESCRIPTION <text> [ICON])
function(nerolin_program_resources target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "ICON" "DESCRIPTION" "")
  set(NEROLIN_RC_NAME ${target})
  set(NEROLIN_RC_DESCRIPTION "${arg_DESCRIPTION}")
  string(REPLACE "." "," NEROLIN_RC_VERSION_NUMBERS "${NEROLIN_FILE_VERSION}")
  if(arg_ICON)
    # Two icons of one picture: the registered "Default Icon" of the link
    # scheme names the program's second icon (",1").
    file(TO_CMAKE_PATH "${CMAKE_SOURCE_DIR}/res/nerolin.ico" icon)
    set(NEROLIN_RC_ICONS "1 ICON \"${icon}\"\n2 ICON \"${icon}\"")
  else()
    set(NEROLIN_RC_ICONS "")
  endif()
  set(output ${CMAKE_CURRENT_BINARY_DIR}/${target}-resources.rc)
  configure_file(${CMAKE_SOURCE_DIR}/cmake/NerolinProgramResources.rc.in ${output} @ONLY)
  target_sources(${target} PRIVATE ${output})
  if(arg_ICON)
    set_property(SOURCE ${output} APPEND PROPERTY OBJECT_DEPENDS ${CMAKE_SOURCE_DIR}/res/nerolin.ico)
  endif()
endfunction()
