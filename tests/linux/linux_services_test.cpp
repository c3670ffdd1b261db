// linux_services_test.cpp: the Linux services layer (appLinux.cpp): paths found whatever their
// case, folder walks, the trace and message boxes on standard error.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app.h"
#include "appPlatform.h"
#include "appPosix.h"

namespace {

std::string scratch(const char* name) {
  std::string dir = std::string("/tmp/quirla-linux-") + std::to_string(getpid()) + "-" + name;
  std::system(("rm -rf '" + dir + "' && mkdir -p '" + dir + "'").c_str());
  return dir;
}

void writeFile(const std::string& path, const std::string& text) {
  FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_TRUE(file) << path;
  std::fwrite(text.data(), 1, text.size(), file);
  std::fclose(file);
}

std::string native(const std::string& path) {
  char out[APP_PATH_LENGTH * 2];
  appPosixNativePath(path.c_str(), out);
  return out;
}

bool collect(const char* name, void* context) {
  *static_cast<std::string*>(context) += std::string(name) + ";";
  return true;
}

}  // namespace

TEST(LinuxPaths, EachPartIsFoundWhateverItsCase) {
  std::string dir = scratch("case");
  mkdir((dir + "/Textures").c_str(), 0755);
  writeFile(dir + "/Textures/CanLabel.BMP", "x");
  // A model made on Windows names its texture with backslashes in another case.
  EXPECT_EQ(native(dir + "\\TEXTURES\\canlabel.bmp"), dir + "/Textures/CanLabel.BMP");
  EXPECT_EQ(native(dir + "/Textures/CanLabel.BMP"), dir + "/Textures/CanLabel.BMP");
  // A part found in no case ends the search: the rest stays as given (a file to create).
  EXPECT_EQ(native(dir + "/textures/New.bmp"), dir + "/Textures/New.bmp");
  EXPECT_EQ(native(dir + "/Nowhere/a.bmp"), dir + "/Nowhere/a.bmp");
  // Files open through the same lookup.
  FILE* file = appFileOpen((dir + "\\textures\\CANLABEL.bmp").c_str(), "rb");
  ASSERT_TRUE(file);
  EXPECT_EQ(std::fgetc(file), 'x');
  std::fclose(file);
  EXPECT_TRUE(appFileExists((dir + "/TEXTURES").c_str()));
}

TEST(LinuxPaths, AnExactNameWinsOverOneThatDiffersInCase) {
  std::string dir = scratch("exact");
  writeFile(dir + "/a.vxm", "lower");
  writeFile(dir + "/A.vxm", "upper");
  EXPECT_EQ(native(dir + "/A.vxm"), dir + "/A.vxm");
  EXPECT_EQ(native(dir + "/a.vxm"), dir + "/a.vxm");
}

TEST(LinuxPaths, WalksGiveMatchesOfAnyCaseInNameOrder) {
  std::string dir = scratch("walk");
  writeFile(dir + "/b.VXM", "");
  writeFile(dir + "/a.vxm", "");
  writeFile(dir + "/c.vlt", "");
  std::string names;
  EXPECT_EQ(appPlatformWalkMatches((dir + "\\").c_str(), "*.vxm", collect, &names), 2);
  EXPECT_EQ(names, "a.vxm;b.VXM;");
  EXPECT_EQ(appPlatformWalkMatches((dir + "/none").c_str(), "*.vxm", collect, &names), 0);
}

TEST(LinuxServices, TheTraceAndBoxesGoToStandardError) {
  testing::internal::CaptureStderr();
  APP_TRACE("Failed to load model: %s", "x.vxm");
  appSetName("Quirla");
  appWarning("Careful");
  bool yes = appAskYesNo("Go on?");
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("linux_services_test.cpp("), std::string::npos) << err;
  EXPECT_NE(err.find(") : Failed to load model: x.vxm\n"), std::string::npos) << err;
  EXPECT_NE(err.find("Warning: Careful\n"), std::string::npos) << err;
  EXPECT_FALSE(yes);  // nobody can answer
}

TEST(LinuxServices, NoRegistryAndTheProgramsOwnPath) {
  EXPECT_EQ(appPlatformOpenKey("SOFTWARE\\Drovelkant\\Quirla"), nullptr);
  char path[APP_PATH_LENGTH];
  ASSERT_TRUE(appPlatformModulePath(path));
  EXPECT_EQ(std::string(path).substr(std::string(path).rfind('/') + 1), "linux_tests");
}
