#include "analysis/CharacterCodes.h"
