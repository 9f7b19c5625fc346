#include "sources/frmCernerLogin.h"
