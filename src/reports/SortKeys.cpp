#include "reports/SortKeys.h"
