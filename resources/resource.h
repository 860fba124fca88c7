// Resource, command and control ids: shared by the resource script, the
// program and the tests.
#pragma once

// Icons: the program's, and the playlist rows' (playing, not playing).
#define IDI_MAIN 101
#define IDI_ROW_PLAYING 115
#define IDI_ROW_IDLE 116

// The skin's bitmaps.
#define IDB_FACE 102
#define IDB_TITLE_BUTTONS_UP 103
#define IDB_TITLE_BUTTONS_DOWN 104
#define IDB_COMPACT_FACE 105
#define IDB_COMPACT_BUTTONS_UP 107
#define IDB_COMPACT_BUTTONS_DOWN 108
#define IDB_BUTTON_ROW_UP 109
#define IDB_BUTTON_ROW_DOWN 110
#define IDB_CHANNEL_MODE 119
#define IDB_LARGE_DIGITS 120
#define IDB_TINY_DIGITS 121
#define IDB_SMALL_DIGITS 122
#define IDB_SEEK_BAR 123
#define IDB_SEEK_KNOB 124
#define IDB_REPEAT 125
#define IDB_SHUFFLE 126

// The keyboard table.
#define IDR_ACCELERATORS 111

// Menus: the playlist window's context menu (its first submenu) and its
// menu bar.
#define IDR_PLAYLIST_CONTEXT 111
#define IDR_PLAYLIST_MENU 128

// The volume dialog and its controls.
#define IDD_VOLUME 106
#define IDC_MUTE 1000
#define IDC_VOLUME_SLIDER 1001

// The options dialog and its check box.
#define IDD_OPTIONS 113
#define IDC_TOOL_HINTS 1008

// The version the about box and the version resource show.
#define TARVEL_VERSION_TEXT "1.19"
#define TARVEL_VERSION_NUMBERS 1, 19, 0, 0

// The playlist window's children.
#define IDC_LIST_VIEW 1
#define IDC_STATUS_BAR 101

// Commands: the main window's buttons carry the id of their command.
#define IDC_SCALE 103
#define IDC_COMPACT 105
#define IDC_VOLUME 109
#define IDC_OPEN_FILES 117
#define IDC_OPTIONS 118
#define IDC_PLAYLIST 119
#define IDC_PLAY_PAUSE 120
#define IDC_EXIT_BOX 1009
#define IDC_EXIT_CROSS 1010
#define IDC_ALWAYS_ON_TOP 1011
#define IDC_ICONIFY 1012
#define IDC_TO_TRAY 1013
#define IDC_LIST_DELETE 1014
#define IDC_LIST_DELETE_ALL 1015
#define IDC_SAVE_PLAYLIST 1016
#define IDC_LIST_ADD 1017
#define IDC_ESCAPE 40001
#define IDC_STOP 40002
#define IDC_NEXT 40003
#define IDC_PREVIOUS 40004
#define IDC_SHIFT_LEFT 40005
#define IDC_SHIFT_RIGHT 40006
#define IDC_DELETE_ALL 40007
#define IDC_DELETE_SELECTED 40008

// The buttons' tooltips.
#define IDS_TIP_VOLUME 1
#define IDS_TIP_EXIT 2
#define IDS_TIP_COMPACT 3
#define IDS_TIP_SCALE 4
#define IDS_TIP_ALWAYS_ON_TOP 5
#define IDS_TIP_ICONIFY 6
#define IDS_TIP_TO_TRAY 7
#define IDS_TIP_OPEN_FILES 8
#define IDS_TIP_OPTIONS 9
#define IDS_TIP_PLAYLIST 10
#define IDS_TIP_PLAY 11
#define IDS_TIP_STOP 12
#define IDS_TIP_NEXT 13
#define IDS_TIP_PREVIOUS 14
