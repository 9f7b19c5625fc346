#include "sources/CernerSource.h"
