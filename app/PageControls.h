// Control ids of the wizard's page dialogs, shared by the resource script and the code, so
// plain defines only.
#pragma once

// The button row every page has at its bottom; Cancel is the dialog's own cancel id so that
// Esc presses it.
#define IDC_PAGE_HELP 9
#define IDC_PAGE_BACK 100
#define IDC_PAGE_NEXT 101
#define IDC_PAGE_CANCEL 2
#define IDC_PAGE_LINE 102

// Welcome page.
#define IDC_WELCOME_LOGO 200
#define IDC_WELCOME_ADVANCED 201
#define IDC_WELCOME_NORMAL 202
#define IDC_WELCOME_CHECK1 203
#define IDC_WELCOME_CHECK2 204
#define IDC_WELCOME_CHECK3 205

// Final HotSync page: the picture, three status lines at one place, and Skip.
#define IDC_FINAL_PICTURE 300
#define IDC_FINAL_PERFORM 301
#define IDC_FINAL_WAITING 302
#define IDC_FINAL_CLICK_NEXT 303
#define IDC_FINAL_SKIP 304
#define IDC_FINAL_INFO 305

// Finish page: the picture, the long or the short text at one place, the closing line.
#define IDC_FINISH_PICTURE 400
#define IDC_FINISH_LONG 401
#define IDC_FINISH_SHORT 402
#define IDC_FINISH_EXIT 403
#define IDC_FINISH_FINISH 404

// Connection page: the handheld with its blinking cursor, COM 1 to COM 8 in order, Test and
// the pass text.
#define IDC_CONN_PAINTBOX 500
#define IDC_CONN_COM1 501
#define IDC_CONN_TEST 509
#define IDC_CONN_PASSED 510

// Reset page: the handheld with its blinking cursor.
#define IDC_RESET_PAINTBOX 600

// HotSync page: the two steps at the left (arrow, check mark, number and label each), the
// two panels at the right with their status lines, and the picture of the reset box.
#define IDC_HS_STEP1_ARROW 700
#define IDC_HS_STEP1_CHECK 701
#define IDC_HS_STEP1_NUMBER 702
#define IDC_HS_STEP1_LABEL 703
#define IDC_HS_STEP2_ARROW 704
#define IDC_HS_STEP2_CHECK 705
#define IDC_HS_STEP2_NUMBER 706
#define IDC_HS_STEP2_LABEL 707
#define IDC_HS_HOTSYNC_PANEL 710
#define IDC_HS_RESET_PANEL 711
#define IDC_HS_STATUS_PRESS 712
#define IDC_HS_STATUS_WAITING 713
#define IDC_HS_STATUS_RESET 714
#define IDC_HS_STATUS_NEXT 715
#define IDC_HS_PICTURE 716
// The other controls of each panel, shown and hidden with it.
#define IDC_HS_HOTSYNC_STEP 720
#define IDC_HS_NOTE 721
#define IDC_HS_NOTE_ICON 722
#define IDC_HS_NOTE_TEXT 723
#define IDC_HS_RESET_WAIT 730

// The update file selection dialog.
#define IDD_FILE_SELECT 1300
#define IDC_SELECT_LIST 1301
#define IDC_SELECT_BROWSE 1302

// Upload page: the picture, the progress group with its gauge, the abort button and the
// hidden Upload button.
#define IDC_UPLOAD_PICTURE 800
#define IDC_UPLOAD_GROUP 801
#define IDC_UPLOAD_GAUGE 802
#define IDC_UPLOAD_ABORT 803
#define IDC_UPLOAD_START 804
#define IDC_UPLOAD_INFO 805

// Browse page: the picture, the file name and its Browse button.
#define IDC_BROWSE_PICTURE 900
#define IDC_BROWSE_EDIT 901
#define IDC_BROWSE_BUTTON 902
