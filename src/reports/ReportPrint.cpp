#include "reports/ReportPrint.h"
