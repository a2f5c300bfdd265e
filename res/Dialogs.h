#pragma once
// Dialog templates 100 (About box) and 101 (the search form).

#include "platform/ui/DialogTemplate.h"

const DialogTemplate& AboutTemplate();
const DialogTemplate& MarloFormTemplate();
