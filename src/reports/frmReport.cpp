#include "reports/frmReport.h"
