// Resource identifiers of the add-on (shared by the resource script and the code).
#pragma once

#define IDS_PRODUCT_NAME 105     // "Quillbury": message box caption, band class name
#define IDS_NO_PARENT_WINDOW 110 // the band has no parent window for its toolbar
#define IDS_ERROR_PREFIX 111     // text in front of every error message shown to the user
#define IDS_HELPER_NAME 118      // class name of the browser helper object

#define IDR_COMMON_CONTROLS_MANIFEST 2
