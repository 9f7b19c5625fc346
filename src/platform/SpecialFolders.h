#pragma once
#include <QString>

namespace quillon::platform {

// The user's local application-data folder (created when missing), without a trailing "/".
// QUILLON_HOME, when set, takes its place, so tests and trial runs use a scratch folder.
QString LocalAppDataFolder();

// The running program's file name without its extension, blanks trimmed ("quillon").
QString ProgramName();

}  // namespace quillon::platform
