#pragma once
// The string table.

#include <QString>

/// The string with resource number `nId` (empty when there is none).
QString LoadResString(int nId);
