#include "analysis/CompareRecords.h"
