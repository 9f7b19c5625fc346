#pragma once
// The undo ring: ten numbered copies of the record store on disk.
#include <cstdint>

namespace quillon {

class UndoRing {
public:
    bool UndoEnabled = false;
    int16_t UndoLevel = 0;
};

}  // namespace quillon
