#include "analysis/frmMaximumFieldWidths.h"
