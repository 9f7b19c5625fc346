#include "platform/Printer.h"
