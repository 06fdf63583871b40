// The program's pictures by resource identifier. Plain definitions, because the resource
// compiler reads this file too (app/pictures/Pictures.rc, which says which picture file each
// one is).
#pragma once

// The handheld pictures of the image manager: identifier + picture base, where the base is
// 0 for device type 4 and 100 for every other device type. All 8-bit palette bitmaps.
#define KESTREL_PICTURE_DEVICE 5000         // the handheld, front view, first setup screen
#define KESTREL_PICTURE_LOADER_SCREEN 5001  // display image: the serial loader's screen
#define KESTREL_PICTURE_RESET_PROMPT 5002   // display image: HotSync asks for a reset
#define KESTREL_PICTURE_BASE_TYPE4 0
#define KESTREL_PICTURE_BASE_OTHER 100

// The welcome page: its logo as a JPEG (resource type RCDATA) and as the 8-bit bitmap shown
// on displays of 8 bits per pixel or fewer; the check mark of the welcome and HotSync pages
// and the HotSync page's arrow, both with silver (192, 192, 192) as transparent colour.
#define KESTREL_PICTURE_WELCOME_LOGO_8BIT 5025
#define KESTREL_PICTURE_WELCOME_LOGO_JPEG 5026
#define KESTREL_PICTURE_CHECK_MARK 5027
#define KESTREL_PICTURE_STEP_ARROW 5028
