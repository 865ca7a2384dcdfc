# cmake -DNEROLIN_SOURCE_DIR=... -DGENERATOR=... -DFIXTURE=... -DWORK=... -P QtFreeCoreRule.cmake
function(configure_fixture link_qt result_var output_var)
  file(REMOVE_RECURSE ${WORK}/${link_qt})
  execute_process(
    COMMAND ${CMAKE_COMMAND} -S ${FIXTURE} -B ${WORK}/${link_qt} -G ${GENERATOR}
      -DNEROLIN_SOURCE_DIR=${NEROLIN_SOURCE_DIR} -DLINK_QT=${link_qt}
    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  set(${result_var} ${result} PARENT_SCOPE)
  set(${output_var} "${output}" PARENT_SCOPE)
endfunction()

configure_fixture(ON result output)
if(result EQUAL 0)
  message(FATAL_ERROR "a core library that reaches Qt configured:\n${output}")
endif()
string(REGEX REPLACE "[ \t\r\n]+" " " output "${output}")
set(expected "fixture_core must not link Qt, but links Qt6::Network (through fixture_core -> fixture_platform -> fixture_vendor)")
string(FIND "${output}" "${expected}" found)
if(found EQUAL -1)
  message(FATAL_ERROR "the refusal does not say \"${expected}\":\n${output}")
endif()

configure_fixture(OFF result output)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "a core library without Qt was refused:\n${output}")
endif()
