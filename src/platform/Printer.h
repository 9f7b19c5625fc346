#pragma once
// Draws laid-out pages on a printer: the system printer the print dialog chose, or a PDF file.
#include <QString>

#include "platform/Dialogs.h"
#include "reports/PrintPages.h"

namespace quillon::platform {

// Every page of `pages` in their font (a fixed-pitch font of the same size where it is
// missing), each line at its place, `choice.copies` times in the chosen orientation. False,
// with the reason in `error`, when the printer cannot start or gives up during the job.
bool PrintPages(const PrintedPages& pages, const PrintChoice& choice, QString* error = nullptr);

// PrintPages, and when the job could not be done the message "The pages could not be printed."
// with the reason (title "Print Failed"), so that a failed job is never taken for a printed one.
bool PrintOrSay(const PrintedPages& pages, const PrintChoice& choice, Dialogs& dialogs);

}  // namespace quillon::platform
