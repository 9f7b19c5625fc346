#include "ftp/FtpHosts.h"
