# Fails unless an installation of BUILD_DIR into a fresh PREFIX runs on its own: the installed
# qorfx finds the installed module and effect pack and lists all 26 effects.
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
  OUTPUT_QUIET RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "cmake --install into ${PREFIX} failed")
endif()
execute_process(COMMAND ${PREFIX}/bin/qorfx list OUTPUT_VARIABLE listing ERROR_VARIABLE errors RESULT_VARIABLE failed)
file(REMOVE_RECURSE ${PREFIX})
string(REGEX MATCHALL "\n[0-9]+ " effects "${listing}")
list(LENGTH effects count)
if(failed OR NOT count EQUAL 26)
  message(FATAL_ERROR "the installed qorfx listed ${count} effects (exit ${failed}): ${errors}${listing}")
endif()
