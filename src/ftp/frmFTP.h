#pragma once
// The FTP window.
#include <QDialog>

namespace quillon {}
