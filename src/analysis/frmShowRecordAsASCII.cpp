#include "analysis/frmShowRecordAsASCII.h"
