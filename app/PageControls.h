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
