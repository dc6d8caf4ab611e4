/* Vexlo.dll: the product exports, as a caller declares them.
 *
 * Every export uses the standard Windows calling convention (the callee removes its
 * arguments) and takes 32-bit arguments only. Short strings are 256-byte buffers: a
 * length byte followed by up to 255 bytes of ANSI text. The library is usually loaded
 * at run time, so the declarations are function pointer types for GetProcAddress.
 */
#ifndef VEXLO_H
#define VEXLO_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Messages posted by the logon window to the notify window. */
#define VEXLO_WM_LOGON_ACCEPTED (WM_USER + 7) /* wParam: the success tag */
#define VEXLO_WM_LOGON_CANCELLED (WM_USER + 6) /* wParam: -1 */

/* Ordinal 10. Shows the modeless logon window and returns at once with its handle
 * (0 when it could not be shown). The window takes the icon over. userName and
 * password are short strings, read only. The window never closes itself: the
 * caller destroys it through the returned handle. */
typedef HWND(WINAPI* VexloLogonFn)(HWND notify, HICON icon, const BYTE* userName,
                                   const BYTE* password, LONG successTag);

/* Ordinal 13. Asks for a new user name and password in a modal dialog owned by
 * appWindow; from this call on, appWindow owns every window the library creates in
 * the process. userName and password are short strings: a non-empty userName
 * proposes both; on OK both are overwritten (at most 255 characters each) and the
 * result is 1, otherwise they are untouched and the result is 0. The dialog takes the
 * icon over. */
typedef BOOL(WINAPI* VexloGetNewPasswordFn)(HWND appWindow, HICON icon, BYTE* userName,
                                            BYTE* password);

/* Ordinal 12. The same dialog without an owner, for threads other than the one of the
 * main window; the library's owner window is left as it is. */
typedef BOOL(WINAPI* VexloGetNewPasswordThrdFn)(HICON icon, BYTE* userName, BYTE* password);

/* Ordinal 11. Shows the modeless About window and returns its handle at once. edition
 * (low 8 bits) 1 to 3 chooses the edition picture; version is zero-terminated ANSI
 * text shown after "Version " (null: none); the last argument is ignored. The window
 * takes the icon over and destroys itself when OK is pressed. */
typedef HWND(WINAPI* VexloShowAboutFn)(HICON icon, DWORD edition, const char* version,
                                       DWORD reserved);

/* Ordinal 7. Edits an RDP session record (1290 bytes, packed) and its TCP port in a
 * modal dialog. Both are overwritten only when the user confirms with OK: the result is
 * then 1 (only the low 8 bits count), otherwise 0 and nothing is written. A null
 * pointer gives 0 without a dialog. */
typedef BOOL(WINAPI* VexloGetRDPSettingsFn)(BYTE* settings, WORD* port);

/* Ordinal 6. Edits an RFB session record (536 bytes) in a modal dialog; overwritten
 * only on OK (result 1), otherwise 0. The byte at offset 531 comes back as it went in. */
typedef BOOL(WINAPI* VexloGetRFBSettingsFn)(BYTE* settings);

/* Ordinal 9. Shows the modal Run As dialog with application (zero-terminated ANSI
 * text, null: empty) in its program field, and after "Run" starts the program under
 * the account entered. Returns when the dialog has closed and any launch was tried.
 * Only one Run As dialog is open at a time across all processes: a call meanwhile
 * shows "Run As utility is already runing" instead. */
typedef void(WINAPI* VexloShowRunAsFn)(const char* application);
/* Sent by the Alt+Tab switcher to the window in the "KeyVexloContext" block once it
 * is shown: wParam is the switcher's window. */
#define VEXLO_WM_SWITCHER_SHOWN (WM_USER + 9)

/* Ordinal 8. install 1 installs the low-level keyboard hook that replaces Alt+Tab (in
 * the calling thread, which must run a message loop: the switcher is built from it);
 * any other value removes it. Result 1 when the hook was installed or removed. */
typedef BOOL(WINAPI* VexloAltTabHookFn)(DWORD install);

/* Ordinal 5. Shows the floating switcher button 70 pixels in from the right and bottom
 * of the primary screen and returns its window (0 on failure). The window takes the
 * icon over. onSwitch is called on every click with the button window in EAX (the
 * register calling convention of the main program); a close request only hides the
 * window: the caller destroys it. */
typedef HWND(WINAPI* VexloShowSwitcherWndFn)(HICON icon, void* onSwitch);
/* The request the main program sends (SendMessage, never posted) to Explorer's desktop
 * list view once HookExplorer has installed the hook: the registered message
 * "WM_GETICONS" with wParam 1 saves the icon positions to the layout file named in the
 * profile block, 2 moves the icons back to the saved positions. */
#define VEXLO_ICON_REQUEST_NAME "WM_GETICONS"
#define VEXLO_ICONS_SAVE 1
#define VEXLO_ICONS_RESTORE 2
/* Posted by the desktop menus to the window in "KeyVexloContext": wParam 999 for
 * "Quillmere Settings", 1000 + settings index to switch desktops; lParam 0. */
#define VEXLO_WM_DESKTOP_COMMAND (WM_USER + 5)

/* Ordinal 15. install (low 8 bits) 1 puts the icon layout hook on the thread of
 * Explorer's desktop list view and returns the stored hook handle (the one stored before
 * when no desktop list view exists, 0 if none); any other value removes it and returns 0. */
typedef HHOOK(WINAPI* VexloHookExplorerFn)(DWORD install);

/* Ordinal 14. install (low 8 bits) 1 puts the desktop menu hooks on that thread; any other
 * value removes them. Only the low 8 bits of the result count: 1 when both hooks are in
 * place (install) or both came off (remove). */
typedef BOOL(WINAPI* VexloHookContextFn)(DWORD install);

#ifdef __cplusplus
}
#endif

#endif /* VEXLO_H */
