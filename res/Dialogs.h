#pragma once
// Dialog templates: 100 the About box, 101 the search form, 130 data entry,
// 133 modify, 134 display, 136 the romaji warning.

#include "platform/ui/DialogTemplate.h"

const DialogTemplate& AboutTemplate();
const DialogTemplate& MarloFormTemplate();
const DialogTemplate& DataEntryTemplate();
const DialogTemplate& DataModifyTemplate();
const DialogTemplate& DataViewTemplate();
const DialogTemplate& RomajiWarnTemplate();
