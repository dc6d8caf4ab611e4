# The cipher tests check CAST-128, RIPEMD-128 and CFB-8 against Crypto++ (Debian package
# libcrypto++-dev). It is a test-only oracle: nothing else links it, the DLL least of all.
find_path(VEXLO_CRYPTOPP_INCLUDE_DIR cryptopp/cast.h REQUIRED)
find_library(VEXLO_CRYPTOPP_LIBRARY cryptopp REQUIRED)
target_include_directories(vexlo_native_tests SYSTEM PRIVATE ${VEXLO_CRYPTOPP_INCLUDE_DIR})
target_link_libraries(vexlo_native_tests PRIVATE ${VEXLO_CRYPTOPP_LIBRARY})
