#pragma once
// Dialog templates: 100 the About box, 101 the search form, 130 data entry,
// 133 modify, 134 display, 135 options, 136 the romaji warning, 142 full-text search,
// 143 the import's report, 144 the sync settings, 145 the sync's report.

#include "platform/ui/DialogTemplate.h"

const DialogTemplate& AboutTemplate();
const DialogTemplate& MarloFormTemplate();
const DialogTemplate& DataEntryTemplate();
const DialogTemplate& DataModifyTemplate();
const DialogTemplate& DataViewTemplate();
const DialogTemplate& RomajiWarnTemplate();
const DialogTemplate& ImportReportTemplate();
const DialogTemplate& SyncSettingsTemplate();
const DialogTemplate& SyncReportTemplate();
const DialogTemplate& OptionTemplate();
const DialogTemplate& FullTextSearchTemplate();
