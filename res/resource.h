// Resource and control identifiers of the program's windows.
#pragma once

#define IDR_MAINFRAME 128
#define IDD_COPYCHECK_DIALOG 102
#define IDD_DIRSELECT 131

#define IDC_STATIC (-1)

// Main window
#define IDC_SRC_PATH 1001
#define IDC_DST_PATH 1002
#define IDC_RESULT 1003
#define IDC_LOG_PATH 1004
#define IDC_SRC_BROWSE 1006
#define IDC_DST_BROWSE 1007
#define IDC_NAMES_ONLY 1008
#define IDC_BLOCK_KB 1009
#define IDC_LOG_BROWSE 1010
#define IDC_KEEP_LOG 1011
#define IDC_TOTAL_PROGRESS 1013
#define IDC_FILE_PROGRESS 1014
#define IDC_DIFF_LIMIT 1017
#define IDC_BLOCK_SPIN 1026

// Directory picker
#define IDC_DRIVE_LIST 1021
#define IDC_DIR_LIST 1022
#define IDC_CUR_PATH 1024
#define IDC_JUMP_ROOT 1025
