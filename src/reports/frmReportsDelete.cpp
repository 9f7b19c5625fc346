#include "reports/frmReportsDelete.h"
