#pragma once
// Resource and command identifiers of the window program.

// Resources
inline constexpr int IDR_MAINFRAME = 128;  // menu, accelerators, icon, document template string
inline constexpr int IDD_ABOUTBOX = 100;   // About box template
inline constexpr int IDD_MARLO_FORM = 101; // the search form
inline constexpr int AFX_IDS_APP_TITLE = 57344;
inline constexpr int AFX_IDS_IDLEMESSAGE = 57345;

// Dialog results
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;

// Controls of the search form
inline constexpr int IDC_SEARCH = 1000;  // romaji search box
inline constexpr int IDC_SHOWALL = 1009; // "全データ表示"
inline constexpr int IDC_CLEAR = 1010;   // "クリアー"
inline constexpr int IDC_LIST = 1012;    // result list

// The program's own commands
inline constexpr int ID_DATA_ENTRY = 32771;
inline constexpr int ID_DATA_MODIFY = 32772;
inline constexpr int ID_OPTIONS = 32773;
inline constexpr int ID_FULL_TEXT_SEARCH = 32775;

// The framework's standard commands
inline constexpr int ID_FILE_NEW = 57600;
inline constexpr int ID_FILE_OPEN = 57601;
inline constexpr int ID_FILE_SAVE = 57603;
inline constexpr int ID_FILE_SAVE_AS = 57604;
inline constexpr int ID_FILE_PRINT_SETUP = 57606;
inline constexpr int ID_FILE_PRINT = 57607;
inline constexpr int ID_FILE_PRINT_DIRECT = 57608;
inline constexpr int ID_FILE_PRINT_PREVIEW = 57609;
inline constexpr int ID_FILE_MRU_FILE1 = 57616;
inline constexpr int ID_FILE_MRU_LAST = 57631;
inline constexpr int ID_EDIT_COPY = 57634;
inline constexpr int ID_EDIT_CUT = 57635;
inline constexpr int ID_EDIT_PASTE = 57637;
inline constexpr int ID_EDIT_UNDO = 57643;
inline constexpr int ID_APP_ABOUT = 57664;
inline constexpr int ID_APP_EXIT = 57665;
inline constexpr int ID_NEXT_PANE = 57680;
inline constexpr int ID_PREV_PANE = 57681;
