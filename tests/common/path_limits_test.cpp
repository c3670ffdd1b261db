// path_limits_test.cpp: the path helpers at their limits: a joined path of 259 characters and
// one of 260 (natively only: Windows' own file calls cannot make a file of 260 characters), and
// path shortening with the last backslash on each side of position 3.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "app.h"
#include "appPlatform.h"

#if !defined(_WIN32)

TEST(AppPathLimits, AJoinedPathOf260CharactersIsNeverFormed) {
  TraceCapture trace;
  const std::string folder = testScratchDir("limits"), root = folder + "\\";
  ASSERT_LT(root.size(), 200u);
  appSetInstallFolder(root.c_str());
  for (size_t joined : {259u, 260u}) {
    const std::string name(joined - root.size(), 'n');
    ASSERT_TRUE(testWriteFile(testJoin(folder, name), ""));
    std::vector<char> result(APP_PATH_LENGTH, 'x');  // on the heap: a byte past it is an ASan error
    const bool found = appLocateFile(name.c_str(), result.data());
    EXPECT_EQ(found, joined < APP_PATH_LENGTH) << joined;
    if (found) {
      EXPECT_EQ(std::string(result.data()), root + name);
    }
  }
  appSetInstallFolder(nullptr);
}

#endif

TEST(AppPaths, ShortenPathKeepsStartDotsAndFileName) {
  struct Case {
    const char* path;
    int limit;
    const char* shortened;
  };
  const Case cases[] = {
      {"d:\\program files\\quirla\\models\\can.vxm", 33, "d:\\program files\\quirl...\\can.vxm"},
      {"d:\\program files\\quirla\\can.vxm", 33, "d:\\program files\\quirla\\can.vxm"},  // not longer
      {"", 5, ""},
      {"c:\\a\\averyveryverylongfilename.vxm", 10, "lename.vxm"},  // the tail's last characters
      {"averyveryverylongfilename.vxm", 10, "...ame.vxm"},       // no backslash: dots, then the end
      {"ab\\defghijk.vxm", 14, "a...fghijk.vxm"},    // backslash at 2: the dots go over it
      {"abc\\defghijk.vxm", 14, ".\\defghijk.vxm"},  // at 3: over "abc"; the tail keeps its end
      {"abcd\\efghijk.vxm", 14, "..\\efghijk.vxm"},  // at 4: over "bcd"
      {"abcdefgh\\ij.vxm", 14, "abcd...\\ij.vxm"},
      {"abcdefgh\\ij.vxm", 3, "vxm"},                // no room for the dots
  };
  for (const Case& c : cases) {
    char buffer[APP_PATH_LENGTH];
    std::strcpy(buffer, c.path);
    appShortenPath(buffer, c.limit);
    EXPECT_STREQ(buffer, c.shortened) << c.path << " " << c.limit;
  }
  for (int limit = 0; limit < 40; ++limit) {
    char buffer[APP_PATH_LENGTH] = "d:\\program files\\quirla\\models\\can.vxm";
    appShortenPath(buffer, limit);
    EXPECT_EQ(std::strlen(buffer), (size_t)(limit < 38 ? limit : 38)) << limit;
  }
}
