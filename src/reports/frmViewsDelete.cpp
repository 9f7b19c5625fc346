#include "reports/frmViewsDelete.h"
