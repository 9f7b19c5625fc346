#include "reports/ReportBuilder.h"
