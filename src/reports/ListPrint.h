#pragma once
// Printing of the record, segment and field lists laid out as pages, without any printer.

namespace quillon {}
