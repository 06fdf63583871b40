// The pages' texts in English, the program's own: what app/PageLayouts.inc places. Each
// language module has a file like this one with the same names (app/lang/PageTexts_*.rc.h).
#pragma once

// The button row of every page.
#define TXT_HELP "&Help"
#define TXT_BACK "< &Back"
#define TXT_NEXT "&Next >"
#define TXT_CANCEL "&Cancel"

// Welcome page.
#define TXT_WELCOME_CAPTION "Welcome"
#define TXT_WELCOME_INTRO                                                                          \
    "This program allows you to upgrade the OS in your Palm device. The installation consists of " \
    "three steps:"
#define TXT_WELCOME_STEP1 "Perform a HotSync to backup data and applications."
#define TXT_WELCOME_STEP2 "Upload the OS image to the Palm device"
#define TXT_WELCOME_STEP3 \
    "Perform a final HotSync to restore your data and programs to the Palm device"
#define TXT_WELCOME_CONTINUE "Click &Normal Mode to continue..."
#define TXT_WELCOME_ADVANCED "&Advanced Mode"
#define TXT_WELCOME_NORMAL "&Normal Mode >"

// HotSync page.
#define TXT_HS_CAPTION "HotSync Wizard"
#define TXT_HS_THINGS_TO_DO "Things To Do ..."
#define TXT_HS_STEP1 "Perform a HotSync"
#define TXT_HS_STEP2 "Push reset on your Palm device"
#define TXT_HS_HOTSYNC_PANEL                                                                    \
    "You need to perform the two tasks listed at the left before you can proceed. This wizard " \
    "guides you through both steps."
#define TXT_HS_HOTSYNC_STEP                                                                        \
    "The first step is to perform a HotSync. Insert your Palm device into the docking cradle and " \
    "push the HotSync button."
#define TXT_HS_NOTE "Note:"
#define TXT_HS_NOTE_TEXT                                                                           \
    "This HotSync will backup both your programs and your data. Programs are not normally backed " \
    "up, which means that this HotSync may take longer than normal."
#define TXT_HS_STATUS_PRESS "Hit the HotSync button!"
#define TXT_HS_RESET_PANEL                                                                       \
    "After performing the HotSync, a box should appear on your Palm device asking you to reset " \
    "the unit (see picture). Follow the instructions and reset your unit."
#define TXT_HS_RESET_WAIT                                                                     \
    "After you reset your unit, Setup will try to connect to your unit. This may take a few " \
    "seconds."
#define TXT_HS_STATUS_RESET "Push reset on your Palm device."
#define TXT_HS_STATUS_NEXT "Click &Next to continue."
// The HotSync and the final HotSync pages.
#define TXT_WAITING_FOR_HOTSYNC "Waiting for HotSync to finish."

// The update file selection dialog.
#define TXT_SELECT_CAPTION "Select the update file to use."
#define TXT_SELECT_OK "OK"
#define TXT_SELECT_CANCEL "Cancel"
#define TXT_SELECT_BROWSE "Browse"

// Reset page.
#define TXT_RESET_CAPTION "Resetting the Palm"
#define TXT_RESET_HOW                                                                             \
    "Press and hold the Page Down key on your Palm. While holding the key down, press the reset " \
    "button on the back of your unit with a paper clip. When you reset the Palm while holding "   \
    "down the Page Down key, a small, blinking cursor should appear in the upper left corner of " \
    "the Palm's screen."
#define TXT_RESET_NEXT                                                                          \
    "Click the &Next button when you see the blinking cursor. If the blinking cursor does not " \
    "appear, repeat the process. Contact tech support if you cannot get the cursor to appear."

// Connection page.
#define TXT_CONN_CAPTION "Establishing a Communications Link"
#define TXT_CONN_HOW                                                                           \
    "Insert your Palm device into the docking cradle. Select the appropriate serial port and " \
    "click the &Test button."
#define TXT_CONN_TEST "&Test"
#define TXT_CONN_PASSED "Test Passed.  Click &Next to continue."
#define TXT_CONN_NEXT                                                                         \
    "Click the &Next button when the communication test has passed. You will not be able to " \
    "proceed until the test passes."

// Browse page.
#define TXT_BROWSE_CAPTION "Selecting a ROM Image"
#define TXT_BROWSE_HOW                                                                          \
    "You must now supply the file name of a valid ROM image. Enter thename of the ROM file in " \
    "the edit box below. Use the Browse button to search for the ROM file using Explorer."
#define TXT_BROWSE_GROUP "Source ROM File  "
#define TXT_BROWSE_BUTTON "B&rowse"
#define TXT_BROWSE_NEXT "Click &Next after you locate the ROM image."

// Upload page.
#define TXT_UPLOAD_CAPTION "Uploading Image"
#define TXT_UPLOAD_WHAT "The ROM image will now be uploaded to the Palm device."
#define TXT_UPLOAD_PATIENCE "Uploading may take a few minutes. Please be patient."
#define TXT_UPLOAD_READY "Ready To Upload "
#define TXT_UPLOAD_ABORT "C&ancel Upload"
#define TXT_UPLOAD_START "&Upload"

// Final HotSync page.
#define TXT_FINAL_CAPTION "Restoring Programs and Data"
#define TXT_FINAL_DONE                                                                            \
    "Setup has finished uploading your OS image and has just reset your Palm device. Follow the " \
    "instructions on your Palm device for calibrating the touch screen. When you finish the "     \
    "wizard on the Palm device, perform a HotSync."
#define TXT_FINAL_EMPTY                                                                            \
    "You Palm device does not yet contain any of your data or programs. The HotSync will restore " \
    "your data and applications."
#define TXT_FINAL_NEXT "Click the Next button when the HotSync is complete."
#define TXT_FINAL_NOTE                                                                          \
    "This HotSync will restore both your programs and your data. This HotSync may take longer " \
    "than normal."
#define TXT_FINAL_PERFORM "Perform a HotSync!"
#define TXT_FINAL_CLICK_NEXT "Click the Next button."
#define TXT_FINAL_SKIP "Skip"

// Finish page.
#define TXT_FINISH_CAPTION "Complete"
#define TXT_FINISH_LONG                                                                        \
    "The setup process is complete. Push the reset button on your Palm device to begin using " \
    "your unit."
#define TXT_FINISH_SHORT "The setup process is complete."
#define TXT_FINISH_EXIT "Click the Finish button to exit Setup."
#define TXT_FINISH_FINISH "&Finish"
