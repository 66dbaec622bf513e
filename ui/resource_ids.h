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
