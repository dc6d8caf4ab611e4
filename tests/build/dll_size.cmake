# Checks that the built DLL stays within its size ceiling.
#   cmake -DFILE=<dll> -DLIMIT=<bytes> -P dll_size.cmake
file(SIZE ${FILE} size)
if(size GREATER LIMIT)
  message(FATAL_ERROR "${FILE} is ${size} bytes, above the ceiling of ${LIMIT}")
endif()
message(STATUS "${FILE}: ${size} bytes (ceiling ${LIMIT})")
