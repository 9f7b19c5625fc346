#pragma once
// The user manual that Help > Manual opens.
#include <QString>

namespace quillon {

// Puts the program's own Manual.pdf into `documentationFolder` (ending with "/") unless the
// same manual is there already, so an update of the program updates the manual. False when a
// needed copy failed.
bool InstallManual(const QString& documentationFolder);

}  // namespace quillon
