// TestSupport.cpp: trace capture and scratch files for the tests of both builds.
#include "TestSupport.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#if defined(_WIN32)
#include <windows.h>
#else
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include "app.h"
#include "vxmMem.h"
#if !defined(_WIN32)
#include "appHost.h"
#endif

#if defined(_WIN32)
// A library test must never leave a real box waiting for a click: every box is recorded and
// answered here (Yes or No as the test asked, OK otherwise), as the host stand-in does.
#include "appHost.h"

static AppHostBox lastBox;
static std::string lastBoxTitle, lastBoxText;
static int boxCount = 0;
static bool answerYes = false;

static int recordBox(const char* text, const char* title, uint32_t flags, void*) {
  lastBoxTitle = title;
  lastBoxText = text;
  lastBox.title = lastBoxTitle.c_str();
  lastBox.text = lastBoxText.c_str();
  lastBox.flags = flags;
  ++boxCount;
  if ((flags & 0xF) == 0x4) return answerYes ? 6 : 7;
  return 1;
}

static const bool boxHookInstalled = [] {
  appSetMessageBoxHook(recordBox, nullptr);
  return true;
}();

void appHostSetAnswer(bool yes) { answerYes = yes; }
int appHostBoxCount(void) { return boxCount; }
const AppHostBox* appHostLastBox(void) { return boxCount ? &lastBox : nullptr; }
#endif

static void captureLine(const char* line, void* context) {
  static_cast<TraceCapture*>(context)->lines.push_back(line);
}

TraceCapture::TraceCapture() {
#if !defined(_WIN32)
  appHostReset();
#else
  (void)boxHookInstalled;
  boxCount = 0;
  answerYes = false;
  appEnableMessages(true);
#endif
  appSetTraceHook(captureLine, this);
}

TraceCapture::~TraceCapture() { appSetTraceHook(nullptr, nullptr); }

bool TraceCapture::has(const std::string& message) const {
  const std::string tail = " : " + message + "\n";
  for (const std::string& line : lines)
    if (line.size() >= tail.size() && line.compare(line.size() - tail.size(), tail.size(), tail) == 0) return true;
  return false;
}

std::vector<std::string> TraceCapture::messages() const {
  std::vector<std::string> out;
  for (const std::string& line : lines) {
    size_t at = line.find(") : ");
    std::string m = at == std::string::npos ? line : line.substr(at + 4);
    if (!m.empty() && m.back() == '\n') m.pop_back();
    out.push_back(m);
  }
  return out;
}

// Each test process has its own scratch area (CTest runs cases of one suite in parallel
// processes), removed when the process ends.
static std::filesystem::path scratchBase() {
  namespace fs = std::filesystem;
  static fs::path base;
  if (base.empty()) {
#if defined(_WIN32)
    unsigned long id = GetCurrentProcessId();
#else
    unsigned long id = (unsigned long)getpid();
#endif
    base = fs::temp_directory_path() / "quirla-tests" / std::to_string(id);
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(scratchBase(), ec);
    });
  }
  return base;
}

std::string testScratchDir(const std::string& name) {
  namespace fs = std::filesystem;
  fs::path dir = scratchBase() / name;
  std::error_code ec;
  fs::remove_all(dir, ec);
  fs::create_directories(dir, ec);
  return dir.string();
}

std::string testJoin(const std::string& folder, const std::string& name) {
#if defined(_WIN32)
  return folder + "\\" + name;
#else
  return folder + "/" + name;
#endif
}

bool testWriteFile(const std::string& path, const std::string& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

bool testReadFile(const std::string& path, std::string* bytes) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  bytes->clear();
  char buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes->append(buffer, n);
  std::fclose(f);
  return true;
}

std::string testSourceDir() { return QUIRLA_SOURCE_DIR; }
std::string testBinaryDir() { return QUIRLA_BINARY_DIR; }

long testEachAllocationFails(TraceCapture* trace, const std::function<bool()>& attempt) {
  const long live = vxmMemLiveBlocks(), before = vxmMemAllocations();
  EXPECT_TRUE(attempt()) << "with every allocation granted";
  const long used = vxmMemAllocations() - before;
  for (long n = 0; n < used; ++n) {
    trace->clear();
    vxmMemFailAfter(n);
    EXPECT_FALSE(attempt()) << "allocation " << n << " refused";
    vxmMemFailAfter(-1);
    EXPECT_TRUE(trace->has("Out of Memory!")) << "allocation " << n << " refused";
    EXPECT_EQ(vxmMemLiveBlocks(), live) << "allocation " << n << " refused";
  }
  trace->clear();
  return used;
}
