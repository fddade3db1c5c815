// Without a screen: the print window of a few demo documents drawn into PNG files (preview mode,
// a selection with its grips, settings mode), the demo's main window too, and the printed pages
// of those documents as PDFs.
#pragma once

#include <string>

#include "demo_host.h"

namespace print::qt {
class QtServices;
}

namespace demo {

// Writes into `dir`; 0, or 1 with the reason on standard error.
int writeScreenshots(DemoHost& host, print::qt::QtServices& services, const std::string& dir);

}  // namespace demo
