#include "analysis/frmFieldsUsed.h"
