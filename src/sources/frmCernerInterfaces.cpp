#include "sources/frmCernerInterfaces.h"
