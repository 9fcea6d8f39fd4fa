# The module may be loaded and freed thousands of times in one process, from
# any thread. The statically linked language runtime keeps records that no
# unload releases (a thread-local slot, per-thread records with a thread
# handle and an event) once the module reaches certain of its parts. This
# check reads the module's symbol table and fails when one of them is linked:
#   - thread-safe local statics (their guard),
#   - locales (also behind regular expressions and streams),
#   - thread-local variables other than the exception machinery's own, which
#     is reached only when an exception is thrown (out of memory).
#   cmake -DNM=<nm> -DMODULE=<module> -P runtime_state_check.cmake
execute_process(COMMAND ${NM} ${MODULE} OUTPUT_VARIABLE symbols RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR symbols STREQUAL "")
  message(FATAL_ERROR "no symbol table in ${MODULE}")
endif()
set(faults "")
foreach(part "__cxa_guard_acquire" "ZNSt6locale")
  string(FIND "${symbols}" "${part}" at)
  if(NOT at EQUAL -1)
    list(APPEND faults "${part}")
  endif()
endforeach()
string(REGEX MATCHALL "__emutls_v\\.[A-Za-z0-9_]+" variables "${symbols}")
list(REMOVE_DUPLICATES variables)
list(FILTER variables EXCLUDE REGEX "get_global")
list(APPEND faults ${variables})
if(faults)
  message(FATAL_ERROR "the module links runtime parts that keep state beyond an unload: ${faults}")
endif()
message(STATUS "no runtime part that keeps state beyond an unload")
