// Resource and control ids shared by the resource scripts and the code.
// Plain defines only: the resource compiler reads this file too.
#pragma once

// Confirmation dialog: Yes (IDYES 6), Yes to All, No (IDNO 7), the two
// prompt texts and the question-mark icon.
#define IDD_CONFIRM 165
#define IDC_YES_TO_ALL 1047
#define IDC_PROMPT_UPPER 1048
#define IDC_PROMPT_LOWER 1049
#define IDC_PROMPT_ICON 1050

// Program resources: the embedded data file is RCDATA 101.
#define IDI_PROGRAM 107
#define IDR_MAIN_MENU 109
#define IDB_SCAN 145
#define IDB_SETTINGS 149

// Main window. The list, status line and counters keep the ids the message
// sinks write to (report/sinks_win.h); the window checks they agree.
#define IDD_MAIN 126
#define IDC_COUNTER_FRAME 1024
#define IDC_MAIN_LIST 1010
#define IDC_MAIN_STATUS 1020
#define IDC_MAIN_FILES_FOUND 1029
#define IDC_MAIN_REGKEYS_AFFECTED 1030
#define IDC_MAIN_PROCESSES_FOUND 1031
#define IDC_MAIN_FILES_DELETED 1032
#define IDC_MAIN_REGKEYS_CHANGED 1033
#define IDC_MAIN_PROCESSES_TERMINATED 1034
#define IDC_LABEL_FILES_FOUND 1051
#define IDC_LABEL_REGKEYS_AFFECTED 1052
#define IDC_LABEL_PROCESSES_FOUND 1053
#define IDC_LABEL_FILES_DELETED 1054
#define IDC_LABEL_REGKEYS_CHANGED 1055
#define IDC_LABEL_PROCESSES_TERMINATED 1056
#define IDC_LABEL_SCANNING 1057
#define IDC_LIST_FRAME 1058

// Commands of the menu and the toolbar.
#define IDM_ABOUT 104
#define IDM_EXIT 105
#define IDM_GO 200
#define IDM_UNDO 201
#define IDM_CONFIGURATION 32772
#define IDC_TB_SCAN 600
#define IDC_TB_CONFIGURATION 601
#define IDC_TB_SEPARATOR 602
#define IDC_TOOLBAR 603

// About boxes: 137 lists the supported variants, 166 has no list.
#define IDD_ABOUT_VARIANTS 137
#define IDD_ABOUT 166
#define IDC_ABOUT_PROGRAM 1025
#define IDC_ABOUT_NOTICE 1026
#define IDC_ABOUT_DATA_VERSION 1027
#define IDC_ABOUT_OK 1028
#define IDC_ABOUT_DESCRIPTION 1029
#define IDC_ABOUT_VARIANTS 1046

// Configuration dialog (OK 1, Cancel 2).
#define IDD_CONFIGURATION 142
#define IDC_CONFIG_CONFIRM 1035
#define IDC_CONFIG_DISK 1036
#define IDC_CONFIG_VERBOSE 1037
#define IDC_CONFIG_LOG_PATH 1038
#define IDC_CONFIG_SCOPE_EXPECTED 1059
#define IDC_CONFIG_SCOPE_ALL 1060
#define IDC_CONFIG_REPORT_ONLY 1061
