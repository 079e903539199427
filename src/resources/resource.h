// Resource identifiers of the add-on (shared by the resource script and the code).
#pragma once

#define IDS_PRODUCT_NAME 105     // "Quillbury": message box caption, band class name
#define IDS_NO_PARENT_WINDOW 110 // the band has no parent window for its toolbar
#define IDS_ERROR_PREFIX 111     // text in front of every error message shown to the user
#define IDS_HELPER_NAME 118      // class name of the browser helper object

#define IDR_COMMON_CONTROLS_MANIFEST 2

// Toolbar resources.
#define IDR_ACCELERATORS 112     // Enter in the search box -> ID_SEARCH_ACCELERATOR
#define IDB_BUTTONS 113          // 17 button images of 20 x 20 on magenta
#define IDB_BUTTONS_MASK 115     // their mask: white where transparent
#define IDB_LOGO 123             // the logo, 100 x 20
#define IDD_LOGIN 128            // the login dialog
#define IDR_MENU_EMPTY 129       // "No items to display"
#define IDR_MENU_NO_OFFERS 130   // "No offers to display for this website"
#define IDR_MENU_NO_VOUCHERS 131 // "No vouchers to display for this website"
#define IDR_MENU_HOT_DEALS 132   // Top Products, Top Vouchers, Top Cashback

#define IDC_SIGN_UP 1016
#define IDC_EMAIL 1017
#define IDC_PASSWORD 1018

#define ID_SEARCH_ACCELERATOR 40040
#define ID_EMPTY_ITEM 40049
#define ID_TOP_PRODUCTS 40058
#define ID_TOP_VOUCHERS 40059
#define ID_TOP_CASHBACK 40060

// In-page popup: the script library and the two templates (Popup.rc2).
#define RT_POPUP_RESOURCE 101 // the numeric resource type of all three
#define IDR_POPUP_SCRIPT 102  // script library: Popup.show, Popup.showModal, Popup.hide
#define IDR_SHOP_POPUP 103    // shop popup template, element "popupdiv"
#define IDR_VOUCHER_POPUP 104 // voucher popup template, element "popupvdiv"
