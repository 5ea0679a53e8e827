#include "app/manifest.hpp"

#include <gtest/gtest.h>

namespace lumora {
namespace {

TEST(Manifest, TwentyCrLfLinesNamingTheCommonControls) {
  const std::string text = ManifestText();
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
    lines.push_back(text.substr(start, end - start));
  ASSERT_EQ(start, text.size());
  ASSERT_EQ(lines.size(), 20u);
  EXPECT_EQ(lines[0], "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\" ?>");
  EXPECT_EQ(lines[6], "        type=\"win32\" />");
  EXPECT_EQ(lines[12], "                name=\"Microsoft.Windows.Common-Controls\"");
  EXPECT_EQ(lines[15].rfind("                publicKeyToken=\"", 0), 0u);
  EXPECT_EQ(lines[16], "                language=\"*\" />");
  EXPECT_EQ(lines[19], "</assembly>");
  EXPECT_EQ(text.find('\n'), text.find("\r\n") + 1);  // no bare line feeds
}

}  // namespace
}  // namespace lumora
