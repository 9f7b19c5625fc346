#include "ftp/frmFTPfileExtensions.h"
