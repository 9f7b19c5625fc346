#include "reports/TreeSort.h"
