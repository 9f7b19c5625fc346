#pragma once
// Report export: the report's rows as a delimited or fixed-width file, without any window.

namespace quillon {}
