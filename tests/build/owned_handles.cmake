# Checks that handles, GDI objects, system-allocated memory and COM references are given
# back only by their owners in src/shared/handles.h: a raw ->Release(), CloseHandle(,
# DeleteObject(, LocalFree( or ReleaseStgMedium( anywhere else in the library or the
# reference host fails. (The tests and benchmarks play outside callers and may use the
# raw calls.)
#   cmake -DROOT=<source tree> -P owned_handles.cmake
cmake_minimum_required(VERSION 3.25)
set(owners "src/shared/handles.h")
set(pattern "(->Release\\(\\)|CloseHandle\\(|DeleteObject\\(|LocalFree\\(|ReleaseStgMedium\\()")

file(GLOB_RECURSE files RELATIVE ${ROOT} ${ROOT}/src/*.h ${ROOT}/src/*.cpp ${ROOT}/host/*.h ${ROOT}/host/*.cpp)
set(violations "")
foreach(file IN LISTS files)
  if(file IN_LIST owners)
    continue()
  endif()
  file(STRINGS ${ROOT}/${file} lines REGEX "${pattern}")
  foreach(line IN LISTS lines)
    string(STRIP "${line}" line)
    list(APPEND violations "${file}: ${line}")
  endforeach()
endforeach()
if(violations)
  list(JOIN violations "\n  " text)
  message(FATAL_ERROR "Freed by hand instead of by an owner of shared/handles.h:\n  ${text}")
endif()
list(LENGTH files count)
message(STATUS "Every handle has its owner in ${count} files")
