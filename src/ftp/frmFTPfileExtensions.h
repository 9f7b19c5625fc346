#pragma once
// The dialog "FTP File Extensions".
#include <QDialog>

namespace quillon {}
