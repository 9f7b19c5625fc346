#pragma once
// The FTP window's transfer options, list layout and file types in the settings, without any window.

namespace quillon {}
