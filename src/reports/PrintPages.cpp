#include "reports/PrintPages.h"
