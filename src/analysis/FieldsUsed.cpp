#include "analysis/FieldsUsed.h"
