# Sources that need no Win32: built into the DLL and, natively, into the tests,
# fuzzers and benchmarks that run with sanitizers on Linux.
set(VEXLO_PORTABLE_SOURCES
  src/shared/error.cpp
  src/shared/shortstr.cpp
  src/shared/display_modes.cpp
  src/shared/settings_rules.cpp
  src/shared/desktop_name.cpp
  src/ui/layout.cpp
  src/dialogs/dialog_rules.cpp
  host/png.cpp
  src/shared/crypto/base64.cpp
  src/shared/crypto/cast128.cpp
  src/shared/crypto/cfb8.cpp
  src/shared/crypto/cipher.cpp
  src/shared/crypto/ripemd128.cpp
  src/shared/remote_records.cpp
  src/ui/spin_rules.cpp
  src/remote/remote_rules.cpp
)
