#pragma once
// Draws laid-out pages on a printer: the system printer the print dialog chose, or a PDF file.
#include <QString>

#include "platform/Dialogs.h"
#include "reports/PrintPages.h"

namespace quillon::platform {

// Every page of `pages` in "Courier New" 10 pt (a fixed-pitch fallback where it is missing), one
// line under the other from the layout's first line at its left margin, `choice.copies` times
// in the chosen orientation. False, with the reason in `error`, when the printer cannot start.
bool PrintPages(const PrintedPages& pages, const PrintChoice& choice, QString* error = nullptr);

}  // namespace quillon::platform
