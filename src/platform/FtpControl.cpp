#include "platform/FtpControl.h"
