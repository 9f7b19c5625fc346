#include "reports/ListPrint.h"
