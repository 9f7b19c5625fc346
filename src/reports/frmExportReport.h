#pragma once
// The window "Export Report".
#include <QDialog>

namespace quillon {}
