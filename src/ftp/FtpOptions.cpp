#include "ftp/FtpOptions.h"
