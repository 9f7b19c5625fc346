#include "sources/EnsembleSource.h"
