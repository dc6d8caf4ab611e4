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

#ifdef __cplusplus
}
#endif

#endif /* VEXLO_H */
