// The Win32 constants the program's code uses, with their Win32 values, so that code above
// the framework reads like Win32 code without including a Win32 header. Each is skipped
// when <windows.h> came first; when it comes later its macros take the same values.
#pragma once

#define CC_CONST(name, value) inline constexpr unsigned name = value;

#ifndef IDOK
CC_CONST(IDOK, 1)
#endif
#ifndef IDCANCEL
CC_CONST(IDCANCEL, 2)
#endif
#ifndef IDYES
CC_CONST(IDYES, 6)
#endif
#ifndef MB_YESNO
CC_CONST(MB_YESNO, 0x4)
#endif
#ifndef MB_OK
CC_CONST(MB_OK, 0x0)
#endif
#ifndef MB_OKCANCEL
CC_CONST(MB_OKCANCEL, 0x1)
#endif
#ifndef BN_CLICKED
CC_CONST(BN_CLICKED, 0)
#endif
#ifndef EN_CHANGE
CC_CONST(EN_CHANGE, 0x0300)
#endif
#ifndef EN_KILLFOCUS
CC_CONST(EN_KILLFOCUS, 0x0200)
#endif
#ifndef LBN_SELCHANGE
CC_CONST(LBN_SELCHANGE, 1)
#endif
#ifndef LBN_DBLCLK
CC_CONST(LBN_DBLCLK, 2)
#endif
#ifndef SB_LINEUP
CC_CONST(SB_LINEUP, 0)
#endif
#ifndef SB_LINEDOWN
CC_CONST(SB_LINEDOWN, 1)
#endif
#ifndef SB_PAGEDOWN
CC_CONST(SB_PAGEDOWN, 3)
#endif
#ifndef SB_ENDSCROLL
CC_CONST(SB_ENDSCROLL, 8)
#endif
#ifndef BST_CHECKED
CC_CONST(BST_CHECKED, 1)
#endif
#ifndef LB_ERR
inline constexpr int LB_ERR = -1;
#endif
#ifndef WM_SETICON
CC_CONST(WM_SETICON, 0x0080)
#endif
#ifndef WM_ICONERASEBKGND
CC_CONST(WM_ICONERASEBKGND, 0x0027)
#endif
#ifndef SM_CXICON
CC_CONST(SM_CXICON, 11)
#endif
#ifndef SM_CYICON
CC_CONST(SM_CYICON, 12)
#endif

// Directory lists and the file-save dialog.
#ifndef DDL_DIRECTORY
CC_CONST(DDL_DIRECTORY, 0x0010)
#endif
#ifndef DDL_DRIVES
CC_CONST(DDL_DRIVES, 0x4000)
#endif
#ifndef DDL_EXCLUSIVE
CC_CONST(DDL_EXCLUSIVE, 0x8000)
#endif
#ifndef OFN_OVERWRITEPROMPT
CC_CONST(OFN_OVERWRITEPROMPT, 0x00000002)
#endif
#ifndef OFN_HIDEREADONLY
CC_CONST(OFN_HIDEREADONLY, 0x00000004)
#endif
#ifndef OFN_PATHMUSTEXIST
CC_CONST(OFN_PATHMUSTEXIST, 0x00000800)
#endif
#ifndef OFN_CREATEPROMPT
CC_CONST(OFN_CREATEPROMPT, 0x00002000)
#endif
#ifndef OFN_NONETWORKBUTTON
CC_CONST(OFN_NONETWORKBUTTON, 0x00020000)
#endif

// Window and control styles that dialog templates use.
#ifndef WS_POPUP
CC_CONST(WS_POPUP, 0x80000000)
#endif
#ifndef WS_VISIBLE
CC_CONST(WS_VISIBLE, 0x10000000)
#endif
#ifndef WS_DISABLED
CC_CONST(WS_DISABLED, 0x08000000)
#endif
#ifndef WS_CAPTION
CC_CONST(WS_CAPTION, 0x00C00000)
#endif
#ifndef WS_BORDER
CC_CONST(WS_BORDER, 0x00800000)
#endif
#ifndef WS_VSCROLL
CC_CONST(WS_VSCROLL, 0x00200000)
#endif
#ifndef WS_SYSMENU
CC_CONST(WS_SYSMENU, 0x00080000)
#endif
#ifndef WS_GROUP
CC_CONST(WS_GROUP, 0x00020000)
#endif
#ifndef WS_TABSTOP
CC_CONST(WS_TABSTOP, 0x00010000)
#endif
#ifndef WS_EX_APPWINDOW
CC_CONST(WS_EX_APPWINDOW, 0x00040000)
#endif
#ifndef DS_MODALFRAME
CC_CONST(DS_MODALFRAME, 0x80)
#endif
#ifndef DS_SETFONT
CC_CONST(DS_SETFONT, 0x40)
#endif
#ifndef ES_LEFT
CC_CONST(ES_LEFT, 0x0000)
#endif
#ifndef ES_MULTILINE
CC_CONST(ES_MULTILINE, 0x0004)
#endif
#ifndef ES_AUTOVSCROLL
CC_CONST(ES_AUTOVSCROLL, 0x0040)
#endif
#ifndef ES_AUTOHSCROLL
CC_CONST(ES_AUTOHSCROLL, 0x0080)
#endif
#ifndef ES_READONLY
CC_CONST(ES_READONLY, 0x0800)
#endif
#ifndef ES_WANTRETURN
CC_CONST(ES_WANTRETURN, 0x1000)
#endif
#ifndef BS_PUSHBUTTON
CC_CONST(BS_PUSHBUTTON, 0x0)
#endif
#ifndef BS_DEFPUSHBUTTON
CC_CONST(BS_DEFPUSHBUTTON, 0x1)
#endif
#ifndef BS_AUTOCHECKBOX
CC_CONST(BS_AUTOCHECKBOX, 0x3)
#endif
#ifndef SS_LEFT
CC_CONST(SS_LEFT, 0x0)
#endif
#ifndef SS_SUNKEN
CC_CONST(SS_SUNKEN, 0x1000)
#endif
#ifndef SBS_VERT
CC_CONST(SBS_VERT, 0x1)
#endif
#ifndef LBS_NOTIFY
CC_CONST(LBS_NOTIFY, 0x0001)
#endif
#ifndef LBS_SORT
CC_CONST(LBS_SORT, 0x0002)
#endif
#ifndef LBS_NOINTEGRALHEIGHT
CC_CONST(LBS_NOINTEGRALHEIGHT, 0x0100)
#endif
#ifndef LBS_DISABLENOSCROLL
CC_CONST(LBS_DISABLENOSCROLL, 0x1000)
#endif

#undef CC_CONST
