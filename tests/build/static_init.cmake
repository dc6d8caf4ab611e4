# Checks that no object file of the DLL runs code at load: a DLL that Explorer loads must
# have no global constructors (and no destructors registered by them).
#   cmake -DNM=<nm> -DOBJECTS_DIR=<build dir> -P static_init.cmake
set(objects "")
foreach(dir IN ITEMS vexlo_portable.dir vexlo_shared.dir vexlo_ui.dir vexlo_remote.dir vexlo_dialogs.dir
                     vexlo_shell.dir vexlo_switching.dir
                     Vexlo.dir/src/frame)
  file(GLOB_RECURSE found_here ${OBJECTS_DIR}/CMakeFiles/${dir}/*.obj)
  list(APPEND objects ${found_here})
endforeach()
set(found "")
foreach(object IN LISTS objects)
  execute_process(COMMAND ${NM} ${object} OUTPUT_VARIABLE symbols ERROR_QUIET)
  if(symbols MATCHES "_GLOBAL__sub_I_")
    list(APPEND found "${object}")
  endif()
endforeach()
if(found)
  list(JOIN found "\n  " text)
  message(FATAL_ERROR "Objects with code that runs at load:\n  ${text}")
endif()
list(LENGTH objects count)
message(STATUS "No global constructors in ${count} objects")
