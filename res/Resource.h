#pragma once
// Resource and command identifiers of the window program; the framework's
// standard ones come from its own header.

#include "platform/ui/AfxRes.h"

// Resources
inline constexpr int IDR_MAINFRAME = 128;  // menu, accelerators, icon, document template string
inline constexpr int IDD_ABOUTBOX = 100;   // About box template
inline constexpr int IDD_MARLO_FORM = 101; // the search form
inline constexpr int IDD_DATA_ENTRY = 130;       // "データ入力", modeless
inline constexpr int IDD_DATA_MODIFY = 133;      // "データ修正"
inline constexpr int IDD_DATA_VIEW = 134;        // "データ表示"
inline constexpr int IDD_OPTIONS = 135;          // "オプション"
inline constexpr int IDD_ROMAJI_WARN = 136;      // the romaji warning
inline constexpr int IDI_WARNING = 138;          // the romaji warning's icon
inline constexpr int IDD_FULL_TEXT_SEARCH = 142; // "全文検索"
inline constexpr int IDD_IMPORT_REPORT = 143;    // "インポートの結果"
inline constexpr int IDD_SYNC_SETTINGS = 144;    // "同期の設定"
inline constexpr int IDD_SYNC_REPORT = 145;      // "同期の結果": the contacts both sides changed

// Controls of the search form
inline constexpr int IDC_SEARCH = 1000;  // romaji search box
inline constexpr int IDC_SHOWALL = 1009; // "全データ表示"
inline constexpr int IDC_CLEAR = 1010;   // "クリアー"
inline constexpr int IDC_LIST = 1012;    // result list

// Controls of the data-entry dialog
inline constexpr int IDC_ENTRY_ROMAJI = 1002;
inline constexpr int IDC_ENTRY_PHONE = 1003;
inline constexpr int IDC_ENTRY_KANJI = 1004;
inline constexpr int IDC_ENTRY_MEMO = 1005;
inline constexpr int IDC_ENTRY_ADD = 1007;   // "データ追加"
inline constexpr int IDC_ENTRY_CLEAR = 1010; // "クリアー", the same ID as the search form's

// Controls of the modify and display dialogs
inline constexpr int IDC_MODIFY_ROMAJI = 1014;
inline constexpr int IDC_MODIFY_KANJI = 1015;
inline constexpr int IDC_MODIFY_PHONE = 1016;
inline constexpr int IDC_MODIFY_MEMO = 1017;
inline constexpr int IDC_VIEW_ROMAJI = 1018;
inline constexpr int IDC_VIEW_KANJI = 1019;
inline constexpr int IDC_VIEW_PHONE = 1020;
inline constexpr int IDC_VIEW_MEMO = 1021;

// Controls of the options dialog
inline constexpr int IDC_OPTION_MAXCOUNT = 1022; // the hit limit
inline constexpr int IDC_OPTION_SHOWALL = 1023;  // "検出したデータを全て表示する"

// Controls of the full-text search dialog
inline constexpr int IDC_SEARCH_KEY1 = 1030;
inline constexpr int IDC_SEARCH_KEY2 = 1031;
inline constexpr int IDC_SEARCH_KEY3 = 1032;

// Controls of the import report
inline constexpr int IDC_IMPORT_SUMMARY = 1040; // how many were added, from which files
inline constexpr int IDC_IMPORT_DETAILS = 1041; // what was refused, skipped, left out or left without a romaji

// Controls of the sync settings
inline constexpr int IDC_SYNC_URL = 1050;      // the server's address: an address book's URL or the host
inline constexpr int IDC_SYNC_USER = 1051;
inline constexpr int IDC_SYNC_PASSWORD = 1052;
inline constexpr int IDC_SYNC_FIND = 1053;     // "アドレス帳を探す"
inline constexpr int IDC_SYNC_BOOKS = 1054;    // the address books found
inline constexpr int IDC_SYNC_MESSAGE = 1055;  // what the search is doing, or why it failed

// The program's own commands
inline constexpr int ID_DATA_ENTRY = 32771;
inline constexpr int ID_DATA_MODIFY = 32772;
inline constexpr int ID_OPTIONS = 32773;
inline constexpr int ID_FULL_TEXT_SEARCH = 32775;
inline constexpr int ID_FILE_IMPORT = 32776; // contacts (vCard, CSV) into the phone book
inline constexpr int ID_FILE_EXPORT = 32777; // the phone book as contacts
inline constexpr int ID_FILE_SYNC = 32778;          // the phone book with its linked CardDAV address book
inline constexpr int ID_FILE_SYNC_SETTINGS = 32779; // which address book, as whom
