#include "Strings.h"

#include "Resource.h"

namespace {

struct StringEntry {
    int nId;
    const char* pszText; // UTF-8
};

constexpr StringEntry kStrings[] = {
    {IDR_MAINFRAME, "Marlo\n\n\n\n\nt\n"},
    {AFX_IDS_APP_TITLE, "Marlo"},
    {AFX_IDS_IDLEMESSAGE, "ﾚﾃﾞｨ"},
};

} // namespace

QString LoadResString(int nId) {
    for (const StringEntry& entry : kStrings) {
        if (entry.nId == nId)
            return QString::fromUtf8(entry.pszText);
    }
    return {};
}
