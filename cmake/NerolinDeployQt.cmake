# The Windows programs that use Qt find its DLLs, the windows platform plugin
# and the Windows style beside them, as an installation puts them: Qt's DLLs
# link the compiler's runtime DLLs, which come along (the programs themselves
# carry their runtime statically). Everything lands once in bin/, where
# every program of the build is.

set(nerolin_qt_runtime_files)
foreach(module Core Gui Widgets Network)
  list(APPEND nerolin_qt_runtime_files "${NEROLIN_WINDOWS_QT_PREFIX}/bin/Qt6${module}.dll|.")
endforeach()
# The offscreen platform serves the tests that draw without a desktop.
foreach(plugin platforms/qwindows.dll platforms/qoffscreen.dll styles/qwindowsvistastyle.dll imageformats/qico.dll)
  get_filename_component(folder ${plugin} DIRECTORY)
  list(APPEND nerolin_qt_runtime_files "${NEROLIN_WINDOWS_QT_PREFIX}/plugins/${plugin}|${folder}")
endforeach()
# Qt's own texts in Hungarian (buttons of message boxes, the file dialog):
# the machine's copy of the same Qt version, where QLibraryInfo looks
# without a qt.conf, translations/ beside the program.
set(nerolin_qt_translation /usr/share/qt6/translations/qtbase_hu.qm)
if(EXISTS ${nerolin_qt_translation})
  list(APPEND nerolin_qt_runtime_files "${nerolin_qt_translation}|translations")
endif()
foreach(runtime libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${runtime} OUTPUT_VARIABLE found
    OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT EXISTS "${found}")
    message(FATAL_ERROR "The compiler's ${runtime}, which Qt's DLLs link, is missing")
  endif()
  get_filename_component(found "${found}" REALPATH)
  list(APPEND nerolin_qt_runtime_files "${found}|.")
endforeach()

set(nerolin_qt_runtime_outputs)
foreach(entry ${nerolin_qt_runtime_files})
  string(REPLACE "|" ";" parts "${entry}")
  list(GET parts 0 source)
  list(GET parts 1 folder)
  get_filename_component(name ${source} NAME)
  set(output ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/${folder}/${name})
  add_custom_command(OUTPUT ${output} COMMAND ${CMAKE_COMMAND} -E copy_if_different ${source} ${output}
    DEPENDS ${source} VERBATIM)
  list(APPEND nerolin_qt_runtime_outputs ${output})
endforeach()
add_custom_target(nerolin_qt_runtime ALL DEPENDS ${nerolin_qt_runtime_outputs})

# nerolin_deploy_qt(<target>): the program runs from bin/ with Qt beside it.
function(nerolin_deploy_qt target)
  add_dependencies(${target} nerolin_qt_runtime)
endfunction()
