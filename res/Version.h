#pragma once
// The version record.

struct VersionRecord {
    unsigned fileVersion[4];
    unsigned productVersion[4];
    unsigned language; // 0x0411 Japanese
    unsigned codePage; // 0x04B0 Unicode
    const char* pszFileVersion;
    const char* pszProductVersion;
    const char* pszFileDescription;
    const char* pszInternalName;
    const char* pszOriginalFilename;
    const char* pszProductName;
};

inline constexpr VersionRecord kVersion = {
    .fileVersion = {1, 0, 0, 1},
    .productVersion = {1, 0, 0, 1},
    .language = 0x0411,
    .codePage = 0x04B0,
    .pszFileVersion = "1, 0, 0, 1",
    .pszProductVersion = "1, 0, 0, 1",
    .pszFileDescription = "Marlo MFC ｱﾌﾟﾘｹｰｼｮﾝ",
    .pszInternalName = "Marlo",
    .pszOriginalFilename = "Marlo.EXE",
    .pszProductName = "Marlo ｱﾌﾟﾘｹｰｼｮﾝ",
};
