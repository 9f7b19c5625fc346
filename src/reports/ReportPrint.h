#pragma once
// Report printing laid out as pages, without any printer.

namespace quillon {}
