#include "ftp/frmFTP.h"
