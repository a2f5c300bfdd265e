#pragma once
// Resource and command identifiers of the window program; the framework's
// standard ones come from its own header.

#include "platform/ui/AfxRes.h"

// Resources
inline constexpr int IDR_MAINFRAME = 128;  // menu, accelerators, icon, document template string
inline constexpr int IDD_ABOUTBOX = 100;   // About box template
inline constexpr int IDD_MARLO_FORM = 101; // the search form

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

