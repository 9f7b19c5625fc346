#include "reports/ViewFiles.h"
