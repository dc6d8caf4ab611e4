# Sources of the DLL that use Win32, by subsystem.

# Shared services that need no window of the library: built once into a static library
# that the DLL links, and that the reference host and the Wine tests link as well, so
# they read settings through the very code the DLL runs while the DLL's export table
# stays exactly the product's.
set(VEXLO_STORE_SOURCES
  src/shared/registry.cpp
  src/shared/display_modes_win.cpp
  src/shared/security.cpp
  src/shared/blocks.cpp
  src/shared/decipher.cpp
  src/shared/settings.cpp
)

set(VEXLO_WIN32_SOURCES
  src/frame/dllmain.cpp
  src/frame/startup.cpp
  src/frame/module.cpp
  src/frame/exports.cpp
  src/frame/runtime.cpp
  src/shared/lastuser.cpp
  src/shared/win_text.cpp
  src/ui/form.cpp
  src/ui/keyboard.cpp
  src/ui/controls.cpp
  src/remote/vxLink.cpp
  src/remote/frmRDPSettings.cpp
  src/remote/frmRFBSettings.cpp
  src/dialogs/frmLogon.cpp
  src/dialogs/frmNewPass.cpp
  src/dialogs/frmAbout.cpp
)
