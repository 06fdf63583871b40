// Identifiers of stashmate.dll's resources (Stashmate.rc): the two windows of a backup run,
// the "Change Hotsync Action" dialog and the pictures beside its choices. Read by the resource
// compiler too, so plain #defines only.
#pragma once

// The information window in the screen's corner.
#define IDD_STASHMATE_INFO 200
#define IDC_INFO_ICON 1001
#define IDC_INFO_TEXT 1002

// "Stashmate Progress...".
#define IDD_STASHMATE_PROGRESS 201
#define IDC_PROGRESS_TITLE 1101
#define IDC_PROGRESS_LEFT_LABEL 1102
#define IDC_PROGRESS_LEFT_COUNT 1103
#define IDC_PROGRESS_PASS_BAR 1104
#define IDC_PROGRESS_ITEM_LABEL 1105
#define IDC_PROGRESS_ITEM_NAME 1106
#define IDC_PROGRESS_ITEM_BAR 1107
// Not IDCANCEL: Escape and Alt+F4 must not stop a backup that the button alone stops.
#define IDC_PROGRESS_CANCEL 1108

// "Change Hotsync Action": each choice's radio button and the picture beside it, in the
// dialog's order (handheld overwrites desktop, do nothing, desktop overwrites handheld).
#define IDD_SYNC_ACTION 202
#define IDC_ACTION_HANDHELD 1201
#define IDC_ACTION_NOTHING 1202
#define IDC_ACTION_DESKTOP 1203
#define IDC_ACTION_PICTURE_HANDHELD 1211
#define IDC_ACTION_PICTURE_NOTHING 1212
#define IDC_ACTION_PICTURE_DESKTOP 1213
#define IDC_ACTION_DEFAULT 1220

// The pictures, drawn at build time by pictures/make_pictures.py.
#define IDB_ACTION_HANDHELD 300
#define IDB_ACTION_NOTHING 301
#define IDB_ACTION_DESKTOP 302
