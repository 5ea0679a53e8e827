// The visual-style manifest the program rewrites beside itself at every start.
#pragma once

#include <string>

namespace lumora {

// The 20 CRLF-ended lines of the manifest.
std::string ManifestText();

}  // namespace lumora
