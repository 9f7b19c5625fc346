#pragma once
// The FTP client control of the FTP window, over libcurl.

namespace quillon::platform {}
