#include "reports/frmReportSort.h"
