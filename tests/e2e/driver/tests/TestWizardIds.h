// The test wizard's dialogs and controls, shared by its resources, its code and the tests
// that drive it.
#pragma once

#define IDD_PAGE 100
#define IDD_HIDDEN_PAGE 101
#define IDD_OPTIONS 102

#define IDC_NAME 1001
#define IDC_NEXT 1010
#define IDC_BACK 1011
#define IDC_REMEMBER 1012
#define IDC_ASK 1013
#define IDC_FAIL 1014
#define IDC_HELP_BUTTON 1015
#define IDC_STATUS 1020
#define IDC_CHOICES 1030

// The red square the main window paints in its client area's bottom right corner, in pixels
// from the right and bottom edges; the rest of the client area is teal.
#define RED_SQUARE_WIDTH 50
#define RED_SQUARE_HEIGHT 40
#define RED_SQUARE_MARGIN 10
