// ModelTestSupport.h: what the model, VXM and lighting tests share: a scratch installation
// folder with trace capture, small 24-bit BMP files, and the message boxes of the host build.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "app.h"
#include "appPlatform.h"
#include "vxmMem.h"
#if !defined(_WIN32)
#include "appHost.h"
#endif

// A fresh installation folder for one test, with the trace captured. On Windows the message boxes
// are switched off (a real box would wait for a click), so questions answer No there.
class ModelFolderTest : public ::testing::Test {
 protected:
  TraceCapture trace;
  std::string dir;
  long liveAtStart = 0;

  void SetUp() override {
    dir = testScratchDir(std::string("model-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
#if defined(_WIN32)
    appSetInstallFolder((dir + "\\").c_str());
    appEnableMessages(false);
#else
    appHostSetInstallPath(dir.c_str());
    appEnableMessages(true);
#endif
    liveAtStart = vxmMemLiveBlocks();
  }
  void TearDown() override {
    vxmMemFailAfter(-1);
    appEnableMessages(true);
  }

  std::string path(const std::string& name) const { return testJoin(dir, name); }
  void write(const std::string& name, const std::string& bytes) const {
    ASSERT_TRUE(testWriteFile(path(name), bytes)) << name;
  }
  std::string read(const std::string& name) const {
    std::string bytes;
    EXPECT_TRUE(testReadFile(path(name), &bytes)) << name;
    return bytes;
  }
  // Every block the test made has been released.
  void expectNoLeak() const { EXPECT_EQ(vxmMemLiveBlocks(), liveAtStart); }
};

// A 24-bit BMP of one colour (0xRRGGBB), rows padded to four bytes.
inline std::string testBmp24(int32_t width, int32_t height, uint32_t colour) {
  auto put = [](std::string* s, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) s->push_back((char)((v >> (8 * i)) & 0xFF));
  };
  const uint32_t stride = ((uint32_t)width * 3 + 3) & ~3u;
  const uint32_t pixels = stride * (uint32_t)height;
  std::string s = "BM";
  put(&s, 54 + pixels, 4);
  put(&s, 0, 4);
  put(&s, 54, 4);
  put(&s, 40, 4);
  put(&s, (uint32_t)width, 4);
  put(&s, (uint32_t)height, 4);
  put(&s, 1, 2);
  put(&s, 24, 2);
  put(&s, 0, 4);
  put(&s, pixels, 4);
  put(&s, 2835, 4);
  put(&s, 2835, 4);
  put(&s, 0, 4);
  put(&s, 0, 4);
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) put(&s, colour, 3);
    for (uint32_t pad = (uint32_t)width * 3; pad < stride; ++pad) s.push_back(0);
  }
  return s;
}

// Text with the Windows line ends that text-mode files have on disk.
inline std::string testCrlf(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}
