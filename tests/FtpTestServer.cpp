#include "FtpTestServer.h"
