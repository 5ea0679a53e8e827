#include "app/manifest.hpp"

#include <array>
#include <string_view>

#include "common/text.hpp"

namespace lumora {

std::string ManifestText() {
  static constexpr std::array<std::string_view, 20> kLines = {
      R"(<?xml version="1.0" encoding="UTF-8" standalone="yes" ?>)",
      R"(<assembly xmlns="urn:schemas-microsoft-com:asm.v1" manifestVersion="1.0">)",
      R"(    <assemblyIdentity)",
      R"(        version="1.0.0.0")",
      R"(        processorArchitecture="X86")",
      R"(        name="CompanyName.ProductName.YourAppName")",
      R"(        type="win32" />)",
      R"(    <description>Your application description here</description>)",
      R"(    <dependency>)",
      R"(        <dependentAssembly>)",
      R"(            <assemblyIdentity)",
      R"(                type="win32")",
      R"(                name="Microsoft.Windows.Common-Controls")",
      R"(                version="6.0.0.0")",
      R"(                processorArchitecture="X86")",
      R"(                publicKeyToken="6595b64144ccf1df")",
      R"(                language="*" />)",
      R"(        </dependentAssembly>)",
      R"(    </dependency>)",
      R"(</assembly>)",
  };
  std::string text;
  for (std::string_view line : kLines) {
    text += line;
    text += kCrLf;
  }
  return text;
}

}  // namespace lumora
