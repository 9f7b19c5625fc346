#include "analysis/frmCompareRecords.h"
