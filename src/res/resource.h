// Resource and control identifiers, and the resources that are not pictures:
// the string table and the cursor's hot spot (menu resource 150 is in
// res/traymenu.h). The pictures live in the Qt resource file as
// ":/res/<id>.png"; wincompat/resources.h loads them by these numbers.
#pragma once

// Dialogs, strings, menus
constexpr int IDD_ABOUTBOX = 100;
constexpr int IDS_ABOUTBOX = 101;
constexpr int IDD_MELVANE_DIALOG = 102;
constexpr int IDR_TRAYMENU = 150;
constexpr unsigned IDM_ABOUTBOX = 0x0010;

// Icons
constexpr int IDR_MAINFRAME = 128;
constexpr int IDI_MENU_FIRST = 131;
constexpr int IDI_MENU_LAST = 133;
constexpr int IDI_MENU_STOP = 134;
constexpr int IDI_MENU_PLAY = 135;
constexpr int IDI_MENU_FINAL = 137;
constexpr int IDI_MENU_NEXT = 138;
constexpr int IDI_ANIM1 = 145;
constexpr int IDI_STILL = 146;
constexpr int IDI_ANIM2 = 147;
constexpr int IDI_ANIM3 = 148;
constexpr int IDI_CHECK = 149;
constexpr int IDI_ANIM4 = 191;
constexpr int IDI_MENU_OPTION = 192;
constexpr int IDI_MENU_EXIT = 194;

// Bitmaps
constexpr int IDB_BAND = 151;
constexpr int IDB_BACKGROUND = 157;
constexpr int IDB_ADD = 161;
constexpr int IDB_DELETE = 162;
constexpr int IDB_ADD_HOT = 164;
constexpr int IDB_DELETE_HOT = 165;
constexpr int IDB_REPEATONE_OFF = 167;
constexpr int IDB_REPEATONE_ON = 168;
constexpr int IDB_REPEATALL_OFF = 169;
constexpr int IDB_REPEATALL_ON = 170;
constexpr int IDB_EXIT = 175;
constexpr int IDB_EXIT_HOT = 176;
constexpr int IDB_FIRST = 177;
constexpr int IDB_FIRST_HOT = 178;
constexpr int IDB_PLAY = 179;
constexpr int IDB_PLAY_HOT = 180;
constexpr int IDB_FINAL = 181;
constexpr int IDB_FINAL_HOT = 182;
constexpr int IDB_HIDE = 185;
constexpr int IDB_STOP = 186;
constexpr int IDB_STOP_HOT = 187;
constexpr int IDB_HELP = 196;

// Cursor: the hand's finger tip is its hot spot.
constexpr int IDC_HAND = 163;
constexpr int kHandHotSpotX = 5;
constexpr int kHandHotSpotY = 0;

// String table (UTF-8)
struct StringResource {
    int id;
    const char* text;
};
inline constexpr StringResource kStringTable[] = {
    {IDS_ABOUTBOX, "关于 melvane(&A)..."},
};

// Controls of the main window
constexpr int IDC_ADD = 1002;
constexpr int IDC_DELETE = 1003;
constexpr int IDC_REPEATONE = 1004;
constexpr int IDC_REPEATALL = 1005;
constexpr int IDC_LISTMUSIC = 1006;
constexpr int IDC_EXIT = 1009;
constexpr int IDC_FIRST = 1010;
constexpr int IDC_PLAY = 1011;
constexpr int IDC_FINAL = 1012;
constexpr int IDC_STOP = 1013;
constexpr int IDC_HIDE = 1014;
constexpr int IDC_HELP = 1016;

// Tray menu commands
constexpr int ID_TRAY_EXIT = 1034;
constexpr int ID_TRAY_FINAL = 1035;
constexpr int ID_TRAY_NEXT = 1036;
constexpr int ID_TRAY_STOP = 1037;
constexpr int ID_TRAY_PLAY = 1038;
constexpr int ID_TRAY_LAST = 1039;
constexpr int ID_TRAY_FIRST = 1040;
constexpr int ID_TRAY_OPTION = 1041;
constexpr int ID_TRAY_SEP2 = 1044;
constexpr int ID_TRAY_SEP1 = 1045;
constexpr int ID_MENU_PLACEHOLDER = 32771;
