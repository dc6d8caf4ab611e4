# Sources that need no Win32: built into the DLL and, natively, into the tests,
# fuzzers and benchmarks that run with sanitizers on Linux.
set(VEXLO_PORTABLE_SOURCES
  src/shared/error.cpp
  src/shared/shortstr.cpp
  src/shared/display_modes.cpp
  src/ui/layout.cpp
  host/png.cpp
  src/shared/crypto/base64.cpp
  src/shared/crypto/cast128.cpp
  src/shared/crypto/cfb8.cpp
  src/shared/crypto/cipher.cpp
  src/shared/crypto/ripemd128.cpp
  src/shared/remote_records.cpp
)
