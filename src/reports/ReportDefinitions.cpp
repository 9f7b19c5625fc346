#include "reports/ReportDefinitions.h"
