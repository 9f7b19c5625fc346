#include "analysis/UniqueValues.h"
