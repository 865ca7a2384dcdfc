# Small helpers so that each folder only says what it is and what it needs.
# Sources are picked up by glob: adding a file to a folder adds it to the build.

# nerolin_library(<name> [DEPS <targets...>] [EXCLUDE <regexes...>])
# A static library from every .cpp (and .ui/.qrc) of the calling folder, and
# of its subfolder linux/ or windows/, whichever is the target system's.
# EXCLUDE leaves out the files whose names match (what the system lacks).
function(nerolin_library name)
  cmake_parse_arguments(ARG "" "" "DEPS;EXCLUDE" ${ARGN})
  if(WIN32)
    set(system windows)
  else()
    set(system linux)
  endif()
  file(GLOB sources CONFIGURE_DEPENDS
    ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h
    ${CMAKE_CURRENT_SOURCE_DIR}/*.ui ${CMAKE_CURRENT_SOURCE_DIR}/*.qrc
    ${CMAKE_CURRENT_SOURCE_DIR}/${system}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/${system}/*.h)
  foreach(pattern ${ARG_EXCLUDE})
    list(FILTER sources EXCLUDE REGEX "${pattern}")
  endforeach()
  if(NOT sources)
    # An empty folder still gives a target, so dependants can name it.
    set(sources ${CMAKE_SOURCE_DIR}/cmake/empty.cpp)
  endif()
  add_library(${name} STATIC ${sources})
  target_link_libraries(${name} PUBLIC ${ARG_DEPS})
endfunction()

# nerolin_test(<name> [OWN_MAIN] [SOURCES <files...>] [DEPS <targets...>] [LABELS <labels...>] [TIMEOUT <s>]
#              [EXCLUDE <regexes...>] [PROPERTIES <name> <value>...] [WINE_ENV <NAME=value...>])
# A GoogleTest executable; without SOURCES every .cpp of the calling folder
# and of its subfolder linux/ or windows/, whichever is the target system's.
# EXCLUDE leaves out the sources whose names match.
# PROPERTIES: more test properties for every test of the program (a fixture
# it needs, say).
# WINE_ENV: variables for the program and scripts/wine-run when it runs
# under Wine (a prefix of its own, NEROLIN_WINE_OUTPUT_AFTER_END, a fixture's
# folder); nothing elsewhere.
# OWN_MAIN: the sources bring main() (a test that needs a QApplication, say).
# LABELS threads: the test starts threads of the code under test (workers,
# pollers, the updater, the event log's writer, exchanges on several threads);
# CI runs these under ThreadSanitizer (tests/sanitizers/tsan.supp).
# Tests find the source tree and the built programs through two definitions.
function(nerolin_test name)
  cmake_parse_arguments(ARG "OWN_MAIN" "TIMEOUT" "SOURCES;DEPS;LABELS;EXCLUDE;PROPERTIES;WINE_ENV" ${ARGN})
  if(NOT ARG_SOURCES)
    if(WIN32)
      set(system windows)
    else()
      set(system linux)
    endif()
    file(GLOB ARG_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/${system}/*.cpp)
  endif()
  foreach(pattern ${ARG_EXCLUDE})
    list(FILTER ARG_SOURCES EXCLUDE REGEX "${pattern}")
  endforeach()
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  if(ARG_WINE_ENV AND CMAKE_CROSSCOMPILING_EMULATOR)
    # The program takes its emulator when it is made; the change stays in
    # this function.
    set(CMAKE_CROSSCOMPILING_EMULATOR env ${ARG_WINE_ENV} ${CMAKE_CROSSCOMPILING_EMULATOR})
  endif()
  add_executable(${name} ${ARG_SOURCES} ${NEROLIN_SYSTEM_XDG_OUT_OF_SIGHT})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} nerolin_testsupport GTest::gtest GTest::gmock)
  if(NOT ARG_OWN_MAIN)
    target_link_libraries(${name} PRIVATE GTest::gtest_main)
  endif()
  target_compile_definitions(${name} PRIVATE
    NEROLIN_SOURCE_DIR="${CMAKE_SOURCE_DIR}" NEROLIN_BINARY_DIR="${CMAKE_BINARY_DIR}")
  set(props TIMEOUT ${ARG_TIMEOUT} ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
  if(ARG_LABELS)
    list(APPEND props LABELS "${ARG_LABELS}")
  endif()
  list(APPEND props ${ARG_PROPERTIES})
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60 PROPERTIES ${props})
endfunction()

# Compiled into every test and benchmark program (not into the support
# library, whose unused objects the linker would drop): the machine's XDG
# folders out of sight, whatever is installed.
# Windows has no XDG folders: what is installed there lives under Program
# Files and in the registry's machine key, which no test reads.
if(WIN32)
  set(NEROLIN_SYSTEM_XDG_OUT_OF_SIGHT "")
else()
  set(NEROLIN_SYSTEM_XDG_OUT_OF_SIGHT ${CMAKE_SOURCE_DIR}/tests/support/isolation/SystemXdgOutOfSight.cpp)
endif()

# nerolin_benchmark(<name> [SOURCES <files...>] [DEPS <targets...>])
function(nerolin_benchmark name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES} ${NEROLIN_SYSTEM_XDG_OUT_OF_SIGHT})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} benchmark::benchmark)
  target_compile_definitions(${name} PRIVATE
    NEROLIN_SOURCE_DIR="${CMAKE_SOURCE_DIR}" NEROLIN_BINARY_DIR="${CMAKE_BINARY_DIR}")
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
endfunction()

# Adds every subfolder of the calling folder that has a CMakeLists.txt, so a
# new test area or tool needs no edit of a shared file.
function(nerolin_add_subfolders)
  file(GLOB children RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*/CMakeLists.txt)
  list(SORT children)
  foreach(child ${children})
    get_filename_component(dir ${child} DIRECTORY)
    add_subdirectory(${dir})
  endforeach()
endfunction()

# nerolin_require_qt_free(<targets...>)
# Fails the configuration when one of the targets links a Qt library,
# directly or through any library it links, however deep: the core builds,
# links and runs without Qt. Call it once every target is defined.
function(nerolin_require_qt_free)
  foreach(root ${ARGN})
    if(NOT TARGET ${root})
      message(FATAL_ERROR "nerolin_require_qt_free: there is no target ${root}")
    endif()
    set(queue ${root})
    set(seen ${root})
    set(path_${root} ${root})
    while(queue)
      list(POP_FRONT queue current)
      set(target ${current})
      get_target_property(aliased ${target} ALIASED_TARGET)
      if(aliased)
        set(target ${aliased})
      endif()
      get_target_property(imported ${target} IMPORTED)
      set(links "")
      if(NOT imported)
        get_target_property(own ${target} LINK_LIBRARIES)
        if(own)
          list(APPEND links ${own})
        endif()
      endif()
      get_target_property(interface ${target} INTERFACE_LINK_LIBRARIES)
      if(interface)
        list(APPEND links ${interface})
      endif()
      foreach(item ${links})
        # A static library's private dependencies reach its users as $<LINK_ONLY:...>.
        string(REGEX REPLACE "^\\$<LINK_ONLY:(.+)>$" "\\1" item "${item}")
        if(item MATCHES "^::@")  # a directory marker of target_link_libraries, no library
          continue()
        endif()
        if(item MATCHES "^Qt[0-9]*::" OR item MATCHES "(^|/|-l)(lib)?Qt[0-9]+[A-Z]")
          string(REPLACE ";" " -> " chain "${path_${current}}")
          message(FATAL_ERROR "${root} must not link Qt, but links ${item} (through ${chain})")
        endif()
        if(TARGET ${item} AND NOT item IN_LIST seen)
          list(APPEND seen ${item})
          list(APPEND queue ${item})
          set(path_${item} ${path_${current}} ${item})
        endif()
      endforeach()
    endwhile()
  endforeach()
endfunction()
