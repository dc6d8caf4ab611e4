# Cross build: Vexlo.dll, the reference host, the Wine tests and the 32-bit benchmarks.
enable_language(RC)
find_package(Python3 REQUIRED COMPONENTS Interpreter)

set(VEXLO_WARNINGS -Wall -Wextra -Wno-cast-function-type)
set(VEXLO_STATIC_RUNTIME -static -static-libgcc -static-libstdc++)
add_compile_definitions(WINVER=0x0501 _WIN32_WINNT=0x0501 _WIN32_IE=0x0600 NOMINMAX WIN32_LEAN_AND_MEAN)
# Hardening: stack canaries and checked buffer functions, the protector linked statically
# (the DLL imports only system libraries); address randomisation and no-execute data kept
# on explicitly, whatever the toolchain's defaults.
add_compile_options(-fstack-protector-strong)
add_compile_definitions(_FORTIFY_SOURCE=2)
add_link_options(-fstack-protector-strong -Wl,--dynamicbase -Wl,--nxcompat)

# Artwork is generated from a kept script, so the pictures can be redrawn and reviewed as code.
set(VEXLO_ART_DIR ${CMAKE_BINARY_DIR}/art)
set(VEXLO_ART_FILES banner.bmp logo.bmp vexlo.ico rdp.ico rfb.ico about.bmp ver_1.bmp ver_2.bmp ver_3.bmp
    icon.bmp runas_open.bmp)
list(APPEND VEXLO_ART_FILES appwindow.ico switcher.bmp)
list(APPEND VEXLO_ART_FILES logo44.png logo50.png logo150.png)
list(TRANSFORM VEXLO_ART_FILES PREPEND ${VEXLO_ART_DIR}/ OUTPUT_VARIABLE VEXLO_ART_OUTPUTS)
add_custom_command(
  OUTPUT ${VEXLO_ART_OUTPUTS}
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/src/resources/make_artwork.py ${VEXLO_ART_DIR}
  DEPENDS ${CMAKE_SOURCE_DIR}/src/resources/make_artwork.py
  COMMENT "Drawing the library's artwork")
add_custom_target(vexlo_art DEPENDS ${VEXLO_ART_OUTPUTS})

include(src/win32.cmake)

# Every stored record goes through the cipher, so it is built for speed whichever size
# setting its target has; source options come after the target's on the command line.
set_source_files_properties(
  src/shared/crypto/base64.cpp src/shared/crypto/cast128.cpp src/shared/crypto/cfb8.cpp
  src/shared/crypto/cipher.cpp src/shared/crypto/ripemd128.cpp
  PROPERTIES COMPILE_OPTIONS -O2)

# The portable code is built for size like the Win32 folders: it runs once per form, menu,
# switcher or icon layout, where the time goes to windows, list views and the registry
# (bench_alttab, bench_icon_layout, bench_desktop_menu). What runs per key event or per
# stored record is built for speed.
set_source_files_properties(src/switching/switch_rules.cpp src/switching/app_rules.cpp
                            src/shared/desktop_summary.cpp PROPERTIES COMPILE_OPTIONS -O2)

add_library(vexlo_portable STATIC ${VEXLO_PORTABLE_SOURCES})
target_include_directories(vexlo_portable PUBLIC ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR})
target_compile_options(vexlo_portable PRIVATE ${VEXLO_WARNINGS} -Os -ffunction-sections -fdata-sections)

# One library per folder, each linked only to the folders below it (src/win32.cmake).
function(vexlo_folder_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LINKS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR})
  target_compile_options(${name} PRIVATE ${VEXLO_WARNINGS} -Os -ffunction-sections -fdata-sections)
  target_link_libraries(${name} PUBLIC ${ARG_LINKS})
endfunction()

vexlo_folder_library(vexlo_shared SOURCES ${VEXLO_SHARED_SOURCES}
                     LINKS vexlo_portable user32 gdi32 advapi32 shell32 ole32)
vexlo_folder_library(vexlo_ui SOURCES ${VEXLO_UI_SOURCES} LINKS vexlo_shared comctl32 msimg32)
vexlo_folder_library(vexlo_remote SOURCES ${VEXLO_REMOTE_SOURCES} LINKS vexlo_ui)
vexlo_folder_library(vexlo_dialogs SOURCES ${VEXLO_DIALOGS_SOURCES} LINKS vexlo_ui)
set(VEXLO_TOP_FOLDERS vexlo_remote vexlo_dialogs)
# Folders that may start empty while they are being built.
if(VEXLO_SHELL_SOURCES)
  vexlo_folder_library(vexlo_shell SOURCES ${VEXLO_SHELL_SOURCES} LINKS vexlo_dialogs)
  list(APPEND VEXLO_TOP_FOLDERS vexlo_shell)
endif()
if(VEXLO_SWITCHING_SOURCES)
  vexlo_folder_library(vexlo_switching SOURCES ${VEXLO_SWITCHING_SOURCES} LINKS vexlo_ui psapi)
  list(APPEND VEXLO_TOP_FOLDERS vexlo_switching)
endif()

# The 64-bit twin has a name of its own: the system tells DLLs of the two bitnesses apart
# by name, and both sit in the product folder.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(VEXLO_DLL_NAME Vexlo64)
  set(VEXLO_TLSALLOC_WRAP __imp_TlsAlloc)
else()
  set(VEXLO_DLL_NAME Vexlo)
  set(VEXLO_TLSALLOC_WRAP _imp__TlsAlloc@0)
endif()
# One export table for both: the 64-bit one names its own file, and its names carry no
# stdcall suffix (x64 has one calling convention).
set(VEXLO_DEF ${CMAKE_SOURCE_DIR}/src/frame/Vexlo.def)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  file(READ ${VEXLO_DEF} def)
  string(REPLACE "LIBRARY \"Vexlo.dll\"" "LIBRARY \"Vexlo64.dll\"" def "${def}")
  string(REGEX REPLACE "=([A-Za-z0-9_]+)@[0-9]+" "=\\1" def "${def}")
  set(VEXLO_DEF ${CMAKE_BINARY_DIR}/generated/Vexlo64.def)
  file(WRITE ${VEXLO_DEF} "${def}")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/frame/Vexlo.def)
endif()
add_library(Vexlo SHARED ${VEXLO_FRAME_SOURCES} src/resources/Vexlo.rc ${VEXLO_DEF})
add_dependencies(Vexlo vexlo_art)
set_target_properties(Vexlo PROPERTIES PREFIX "" OUTPUT_NAME ${VEXLO_DLL_NAME})
target_compile_options(Vexlo PRIVATE ${VEXLO_WARNINGS} -Os -ffunction-sections -fdata-sections)
configure_file(${CMAKE_SOURCE_DIR}/src/resources/version.h.in ${CMAKE_BINARY_DIR}/generated/vexlo_version.h)
set_source_files_properties(src/resources/Vexlo.rc PROPERTIES
  COMPILE_FLAGS "-I${VEXLO_ART_DIR} -I${CMAKE_SOURCE_DIR}/src -I${CMAKE_BINARY_DIR}/generated"
  OBJECT_DEPENDS "${VEXLO_ART_OUTPUTS}")
# --wrap: the DLL's TlsAlloc calls are recorded so unloading can free them (frame/runtime.cpp).
target_link_options(Vexlo PRIVATE ${VEXLO_STATIC_RUNTIME} -Wl,--wrap=${VEXLO_TLSALLOC_WRAP} -Wl,--enable-stdcall-fixup
                    -Wl,--gc-sections -s)
target_link_libraries(Vexlo PRIVATE ${VEXLO_TOP_FOLDERS})

# Build rules checked as tests: folders depend one way; handles are freed only by their
# owners; the DLL runs no code at load.
add_test(NAME build.Layering COMMAND ${CMAKE_COMMAND} -DSRC=${CMAKE_SOURCE_DIR}/src
         -P ${CMAKE_SOURCE_DIR}/tests/build/layering.cmake)
add_test(NAME build.OwnedHandles COMMAND ${CMAKE_COMMAND} -DROOT=${CMAKE_SOURCE_DIR}
         -P ${CMAKE_SOURCE_DIR}/tests/build/owned_handles.cmake)
# The DLL is loaded into every Explorer: its size has a ceiling that merges must keep.
add_test(NAME build.DllSize COMMAND ${CMAKE_COMMAND} -DFILE=$<TARGET_FILE:Vexlo> -DLIMIT=550000
         -P ${CMAKE_SOURCE_DIR}/tests/build/dll_size.cmake)
add_test(NAME build.NoGlobalConstructors COMMAND ${CMAKE_COMMAND} -DNM=${CMAKE_NM} -DOBJECTS_DIR=${CMAKE_BINARY_DIR}
         -P ${CMAKE_SOURCE_DIR}/tests/build/static_init.cmake)

# The reference host plays the main program: it loads the DLL at run time like the product
# does, and links the shared services to seed and inspect settings as the DLL reads them.
add_executable(VexloHost host/main.cpp host/screenshot.cpp host/png.cpp host/settings_tool.cpp
               host/shell.cpp host/import_slot.cpp)
target_sources(VexloHost PRIVATE host/switching.cpp)
target_include_directories(VexloHost PRIVATE ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR})
target_compile_options(VexloHost PRIVATE ${VEXLO_WARNINGS} -O2)
target_link_options(VexloHost PRIVATE ${VEXLO_STATIC_RUNTIME} -mconsole)
target_link_libraries(VexloHost PRIVATE vexlo_shared)
target_link_libraries(VexloHost PRIVATE uuid)

# The 64-bit tree: the hook helper that keeps the 64-bit library's desktop hooks on a
# 64-bit Explorer for the 32-bit main program, and the host named for its bitness.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  add_executable(VexloHook64 src/hookhelper/main.cpp src/hookhelper/VexloHook64.rc)
  set_source_files_properties(src/hookhelper/VexloHook64.rc PROPERTIES
    COMPILE_FLAGS "-I${CMAKE_SOURCE_DIR}/src/hookhelper"
    OBJECT_DEPENDS ${CMAKE_SOURCE_DIR}/src/hookhelper/VexloHook64.manifest)
  target_compile_options(VexloHook64 PRIVATE ${VEXLO_WARNINGS} -Os -ffunction-sections -fdata-sections)
  target_link_options(VexloHook64 PRIVATE ${VEXLO_STATIC_RUNTIME} -mwindows -Wl,--gc-sections -s)
  target_link_libraries(VexloHook64 PRIVATE vexlo_shared)
  set_target_properties(VexloHost PROPERTIES OUTPUT_NAME VexloHost64)
endif()

# An empty DLL from the same toolchain: the yardstick for the load-cost benchmark.
add_library(VexloEmpty SHARED bench/empty_dll.c)
set_target_properties(VexloEmpty PROPERTIES PREFIX "")
target_link_options(VexloEmpty PRIVATE -static -static-libgcc -s)

# GoogleTest built from source, statically (Debian ships the sources; on Windows point
# VEXLO_GTEST_SOURCE at a googletest checkout, or leave it empty to build without tests).
# The 64-bit files come from the win64 tree: the 32-bit tree's tests drive them and its
# package carries them.
set(VEXLO_WIN64_BIN ${CMAKE_SOURCE_DIR}/build/win64/bin CACHE PATH "bin folder of the win64 tree")

# Windows 11's first-level context menu: the sparse package's manifest, written from the
# library's class table by a tool built for the build machine (package_manifest.h).
# VEXLO_PACKAGE_PUBLISHER must equal the subject of the certificate that signs the package.
set(VEXLO_PACKAGE_PUBLISHER "CN=Brindlecote" CACHE STRING "Publisher of the sparse package")
set(VEXLO_MAIN_PROGRAM "Quillmere.exe" CACHE STRING "The main program's file, named by the sparse package")
find_program(VEXLO_HOST_CXX NAMES c++ g++ clang++ REQUIRED)
set(VEXLO_MANIFEST_TOOL ${CMAKE_BINARY_DIR}/tools/make_manifest${CMAKE_HOST_EXECUTABLE_SUFFIX})
set(VEXLO_MANIFEST_SOURCES ${CMAKE_SOURCE_DIR}/src/shell/make_manifest.cpp
    ${CMAKE_SOURCE_DIR}/src/shell/package_manifest.cpp ${CMAKE_SOURCE_DIR}/src/shell/registration_table.cpp)
add_custom_command(
  OUTPUT ${VEXLO_MANIFEST_TOOL}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/tools
  COMMAND ${VEXLO_HOST_CXX} -std=c++20 -O1 -I${CMAKE_SOURCE_DIR}/src ${VEXLO_MANIFEST_SOURCES} -o ${VEXLO_MANIFEST_TOOL}
  DEPENDS ${VEXLO_MANIFEST_SOURCES} ${CMAKE_SOURCE_DIR}/src/shell/package_manifest.h
          ${CMAKE_SOURCE_DIR}/src/shell/registration_table.h ${CMAKE_SOURCE_DIR}/src/shell/command_text.h
  COMMENT "Building the package manifest tool for the build machine")
set(VEXLO_PACKAGE_DIR ${CMAKE_BINARY_DIR}/package)
add_custom_command(
  OUTPUT ${VEXLO_PACKAGE_DIR}/AppxManifest.xml
  COMMAND ${CMAKE_COMMAND} -E make_directory ${VEXLO_PACKAGE_DIR}/Assets
  COMMAND ${VEXLO_MANIFEST_TOOL} ${VEXLO_PACKAGE_DIR}/AppxManifest.xml ${PROJECT_VERSION}
          ${VEXLO_PACKAGE_PUBLISHER} ${VEXLO_MAIN_PROGRAM}
  COMMAND ${CMAKE_COMMAND} -E copy ${VEXLO_ART_DIR}/logo44.png ${VEXLO_ART_DIR}/logo50.png
          ${VEXLO_ART_DIR}/logo150.png ${VEXLO_PACKAGE_DIR}/Assets
  DEPENDS ${VEXLO_MANIFEST_TOOL} ${VEXLO_ART_OUTPUTS}
  COMMENT "Writing the sparse package's AppxManifest.xml")
add_custom_target(vexlo_package_manifest ALL DEPENDS ${VEXLO_PACKAGE_DIR}/AppxManifest.xml)

# Plays Windows 11's Explorer in the tests, in both bitnesses: reads the manifest, creates
# each verb's class from the library and walks its commands.
add_executable(vexlo_menu_client tests/wine/menu_client.cpp)
target_compile_options(vexlo_menu_client PRIVATE ${VEXLO_WARNINGS})
target_link_options(vexlo_menu_client PRIVATE ${VEXLO_STATIC_RUNTIME} -mconsole)
target_link_libraries(vexlo_menu_client PRIVATE ole32 oleaut32 shell32 uuid)

# The release package (cpack, ZIP): both libraries, the hook helper, the header and the
# export table for callers, the reference host and the README, all in one folder as they
# sit in the product folder. Packed from the 32-bit tree once the win64 tree is built.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  install(TARGETS Vexlo VexloHost RUNTIME DESTINATION .)
  install(FILES ${VEXLO_WIN64_BIN}/Vexlo64.dll ${VEXLO_WIN64_BIN}/VexloHook64.exe DESTINATION .)
  install(FILES ${CMAKE_SOURCE_DIR}/include/Vexlo.h ${CMAKE_SOURCE_DIR}/src/frame/Vexlo.def
                ${CMAKE_SOURCE_DIR}/README.md DESTINATION .)
  # Windows 11's menus: the package's manifest and logos (packed and signed by the
  # release, docs/notes/windows-11-menus.md), the script that adds and removes it.
  install(FILES ${VEXLO_PACKAGE_DIR}/AppxManifest.xml DESTINATION package)
  install(DIRECTORY ${VEXLO_PACKAGE_DIR}/Assets DESTINATION package)
  install(FILES ${CMAKE_SOURCE_DIR}/scripts/windows/Win11Menus.ps1
                ${CMAKE_SOURCE_DIR}/docs/notes/windows-11-menus.md DESTINATION .)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_NAME Vexlo)
  set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
  include(CPack)
endif()

set(VEXLO_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources for the Wine tests")
# The Wine tests are a 32-bit program: they play the 32-bit main program and reach the
# 64-bit side through the programs of the win64 tree.
if(EXISTS ${VEXLO_GTEST_SOURCE}/CMakeLists.txt AND CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(${VEXLO_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

  file(GLOB VEXLO_WINE_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/wine/test_*.cpp)
  # The test program links the DLL's own error-raising functions, so they are tested as
  # the DLL links them: in place of the C++ runtime's.
  add_executable(vexlo_wine_tests ${VEXLO_WINE_TESTS} tests/wine/harness.cpp host/import_slot.cpp
                 src/frame/runtime_errors.cpp)
  target_include_directories(vexlo_wine_tests PRIVATE ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/tests/wine)
  # The window base, the form layer, the process details and the menu bitmap are also tested directly,
  # linked into the test program.
  target_link_libraries(vexlo_wine_tests PRIVATE vexlo_ui vexlo_switching vexlo_shell gtest_main shlwapi version)
  target_include_directories(vexlo_wine_tests PRIVATE ${CMAKE_BINARY_DIR}/generated)
  target_link_options(vexlo_wine_tests PRIVATE ${VEXLO_STATIC_RUNTIME} -mconsole)
  # The 64-bit helper, library and host that the 32-bit tests drive a 64-bit Explorer with.
  target_compile_definitions(vexlo_wine_tests PRIVATE VEXLO_WIN64_BIN="${VEXLO_WIN64_BIN}")
  add_dependencies(vexlo_wine_tests Vexlo VexloHost)
  # The stand-in for Windows 11's Explorer and the manifest it reads.
  target_compile_definitions(vexlo_wine_tests PRIVATE VEXLO_PACKAGE_DIR="${VEXLO_PACKAGE_DIR}")
  add_dependencies(vexlo_wine_tests vexlo_menu_client vexlo_package_manifest)
  # Plays a forged helper or a flooding client on the hook helper's pipe.
  add_executable(vexlo_pipe_forger tests/wine/pipe_forger.cpp)
  target_compile_options(vexlo_pipe_forger PRIVATE ${VEXLO_WARNINGS})
  target_link_options(vexlo_pipe_forger PRIVATE ${VEXLO_STATIC_RUNTIME} -mconsole)
  target_link_libraries(vexlo_pipe_forger PRIVATE vexlo_shared)
  add_dependencies(vexlo_wine_tests vexlo_pipe_forger)
  # Reads the windows from another process as a screen reader does.
  add_executable(vexlo_screen_reader tests/wine/screen_reader.cpp)
  target_compile_options(vexlo_screen_reader PRIVATE ${VEXLO_WARNINGS})
  target_link_options(vexlo_screen_reader PRIVATE ${VEXLO_STATIC_RUNTIME} -mconsole)
  target_link_libraries(vexlo_screen_reader PRIVATE oleacc oleaut32 ole32 uuid)
  add_dependencies(vexlo_wine_tests vexlo_screen_reader)
  # One process per test case keeps windows, registry and shared blocks of one case from
  # leaking into the next; the source scan needs no Wine at build time.
  include(GoogleTest)
  gtest_add_tests(TARGET vexlo_wine_tests TEST_PREFIX "wine." SOURCES ${VEXLO_WINE_TESTS}
                  TEST_LIST VEXLO_WINE_TEST_NAMES)
  # A skipped test exits with 0 like a passed one: its output tells them apart.
  set_tests_properties(${VEXLO_WINE_TEST_NAMES} PROPERTIES SKIP_REGULAR_EXPRESSION "\\[  SKIPPED \\]")
  # The "Copy to" link case needs links that only the Unix side of the prefix can make.
  add_test(NAME wine.fixture.LinkTree COMMAND bash ${CMAKE_SOURCE_DIR}/tests/wine/link_tree.sh)
  set_tests_properties(wine.fixture.LinkTree PROPERTIES FIXTURES_SETUP link_tree)
  set_tests_properties(wine.IconManager.CopyToSkipsLinksAndStopsAtItsBounds PROPERTIES FIXTURES_REQUIRED link_tree)
  # Alt+Tab with real key events from the X server, beside the SendInput cases above:
  # forwards, backwards (Alt+Shift+Tab) and cancelled (Escape).
  add_test(NAME wine.AltTabRealKeys COMMAND bash ${CMAKE_SOURCE_DIR}/tests/wine/alt_tab_real_keys.sh
           $<TARGET_FILE:VexloHost> forward)
  add_test(NAME wine.AltTabRealKeysBackward COMMAND bash ${CMAKE_SOURCE_DIR}/tests/wine/alt_tab_real_keys.sh
           $<TARGET_FILE:VexloHost> backward)
  add_test(NAME wine.AltTabRealKeysEscape COMMAND bash ${CMAKE_SOURCE_DIR}/tests/wine/alt_tab_real_keys.sh
           $<TARGET_FILE:VexloHost> escape)
else()
  message(STATUS "No Wine tests in this tree (GoogleTest sources not found, or a 64-bit tree)")
endif()

file(GLOB VEXLO_BENCHES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/bench/bench_*.cpp
     ${CMAKE_SOURCE_DIR}/bench/wine/bench_*.cpp)
foreach(src IN LISTS VEXLO_BENCHES)
  get_filename_component(name ${src} NAME_WE)
  add_executable(${name} ${src})
  target_link_libraries(${name} PRIVATE vexlo_portable)
  target_compile_options(${name} PRIVATE -O2)
  target_link_options(${name} PRIVATE ${VEXLO_STATIC_RUNTIME} -mconsole)
endforeach()
# The Alt+Tab benchmark builds the switcher's controls itself for its floor figure.
if(TARGET bench_alttab)
  target_link_libraries(bench_alttab PRIVATE comctl32)
endif()

# The host's Explorer side (stand-in desktop, icon layout and menu hook commands).
target_sources(VexloHost PRIVATE host/explorer.cpp host/desktop_view.cpp)
target_link_libraries(VexloHost PRIVATE comctl32)
# The menu benchmark builds the menu with the library's own code.
if(TARGET bench_desktop_menu AND TARGET vexlo_shell)
  target_link_libraries(bench_desktop_menu PRIVATE vexlo_shell)
endif()
