#include "reports/ReportExport.h"
