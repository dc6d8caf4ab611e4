# Sources of the DLL that use Win32, by subsystem.
set(VEXLO_WIN32_SOURCES
  src/frame/dllmain.cpp
  src/frame/startup.cpp
  src/frame/module.cpp
  src/frame/exports.cpp
  src/frame/runtime.cpp
  src/shared/registry.cpp
  src/shared/lastuser.cpp
  src/shared/win_text.cpp
  src/shared/display_modes_win.cpp
  src/ui/form.cpp
  src/ui/keyboard.cpp
  src/dialogs/frmLogon.cpp
)
