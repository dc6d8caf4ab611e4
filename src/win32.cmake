# Sources of the DLL that use Win32, one list per folder. Each folder is a library of its
# own, linked only to the folders below it, so a reference upwards fails to link:
#   portable  <  shared  <  ui  <  remote, dialogs, switching  <  shell  <  frame (the DLL)

# Shared services: module-wide state, guards, registry, shared blocks, settings store,
# last user. The reference host and the Wine tests link them too, so they read settings
# through the very code the DLL runs.
set(VEXLO_SHARED_SOURCES
  src/shared/module.cpp
  src/shared/startup.cpp
  src/shared/guard.cpp
  src/shared/registry.cpp
  src/shared/display_modes_win.cpp
  src/shared/security.cpp
  src/shared/blocks.cpp
  src/shared/decipher.cpp
  src/shared/settings.cpp
  src/shared/lastuser.cpp
  src/shared/win_text.cpp
  src/shared/desktops.cpp
  src/shared/wide_text.cpp
  src/shared/message_dialog.cpp
  src/shared/dpi.cpp
  src/shared/desktop_summary_win.cpp
  src/shared/hook_channel_win.cpp
)

# The form layer: the window base, forms, control kinds, painted controls, keyboard
# navigation of modeless forms.
set(VEXLO_UI_SOURCES
  src/ui/window.cpp
  src/ui/form.cpp
  src/ui/controls.cpp
  src/ui/surfaces.cpp
  src/ui/keyboard.cpp
  src/ui/password_box.cpp
  src/ui/accessible.cpp
  src/ui/high_contrast.cpp
  src/ui/library_windows.cpp
)

set(VEXLO_REMOTE_SOURCES
  src/remote/vxLink.cpp
  src/remote/frmRDPSettings.cpp
  src/remote/frmRFBSettings.cpp
)

set(VEXLO_DIALOGS_SOURCES
  src/dialogs/frmLogon.cpp
  src/dialogs/frmNewPass.cpp
  src/dialogs/frmAbout.cpp
  src/dialogs/frmRunAs.cpp
)

# Explorer's side: the desktop hooks, the shell extensions and their registration.
set(VEXLO_SHELL_SOURCES
  src/shell/menu_bitmap.cpp
  src/shell/com_base.cpp
  src/shell/uContextIcons.cpp
  src/shell/uContextMenuRunAs.cpp
  src/shell/registration.cpp
  src/shell/explorer_window.cpp
  src/shell/icon_layout_hook.cpp
  src/shell/desktop_menu_hook.cpp
  src/shell/hook_delegation.cpp
  src/shell/explorer_command.cpp
)

# Task switching: the Alt+Tab switcher, process details, the monitor and its chart,
# the floating button.
set(VEXLO_SWITCHING_SOURCES
  src/switching/uTaskManager.cpp
  src/switching/vxSysInfo.cpp
  src/switching/vxChart.cpp
  src/switching/frmAltTab.cpp
  src/switching/uAltTab.cpp
  src/switching/frmSwitcher.cpp
)

# The top: DllMain and the DLL's start-up sequence, the exports, the COM server's entry points.
set(VEXLO_FRAME_SOURCES
  src/frame/dllmain.cpp
  src/frame/exports.cpp
  src/frame/runtime.cpp
  src/frame/runtime_errors.cpp
  src/frame/runtime_guards.cpp
  src/frame/com_server.cpp
  src/frame/exports_runas.cpp
  src/frame/exports_switching.cpp
  src/frame/exports_shell_hooks.cpp
)
