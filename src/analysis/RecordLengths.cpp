#include "analysis/RecordLengths.h"
