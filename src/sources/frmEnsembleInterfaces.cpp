#include "sources/frmEnsembleInterfaces.h"
