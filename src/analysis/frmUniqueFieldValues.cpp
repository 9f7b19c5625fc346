#include "analysis/frmUniqueFieldValues.h"
