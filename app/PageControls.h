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
