#pragma once
// Saved FTP hosts and their values in the settings, without any window.

namespace quillon {}
