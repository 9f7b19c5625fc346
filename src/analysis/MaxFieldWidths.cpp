#include "analysis/MaxFieldWidths.h"
