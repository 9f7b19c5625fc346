#include "OdbcTestDatabases.h"
