#pragma once
// The user manual that Help > Manual opens.
#include <QString>

namespace quillon {

// Puts the program's own Manual.pdf into `documentationFolder` (ending with "/") when the folder
// has none; a Manual.pdf already there is kept. False when a needed copy failed.
bool InstallManual(const QString& documentationFolder);

}  // namespace quillon
