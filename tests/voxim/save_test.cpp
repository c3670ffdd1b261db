// save_test.cpp: models and lights are saved whole or not at all. A write, flush, close or the
// replacing step that fails (the fault hook makes them fail as a full disk would) leaves the old
// file byte for byte, no temporary file, and the system's reason; the write that ends exactly at
// the hook's byte still succeeds. The host also takes the Windows 95/98 way (old file aside, new
// file in, old file deleted), and a target path at the 259-character limit still gets its
// temporary file.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "ModelTestSupport.h"
#include "vxmLight.h"
#include "vxmModel.h"

namespace {

class SafeSave : public ModelFolderTest {
 protected:
  VxmModel* model = nullptr;

  void SetUp() override {
    ModelFolderTest::SetUp();
    appSetSaveFault(APP_SAVE_FAULT_NONE, 0);
    model = vxmModelCreate(3, 0, 1);
    ASSERT_NE(model, nullptr);
    model->vertices[1].x = 1.0f;
    model->vertices[2].y = 1.0f;
    model->tris[0].v[1] = 1;
    model->tris[0].v[2] = 2;
    model->tris[0].colour = 0x123456;
    vxmLightSetAmbient(0x0A141E);
    vxmLightSetDirectional(0xC86432);
  }
  void TearDown() override {
    appSetSaveFault(APP_SAVE_FAULT_NONE, 0);
#if !defined(_WIN32)
    appHostSetOldWindows(false);
#endif
    vxmModelFree(model);
    ModelFolderTest::TearDown();
  }
  std::vector<std::string> files(const std::string& folder) const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    return names;
  }
  std::string diskFull() const {
    char text[APP_TRACE_MESSAGE];
    appPlatformErrorText(appPlatformDiskFullError(), text, sizeof text);
    return text;
  }
};

struct Writer {
  const char* name;
  std::function<bool(VxmModel*, const char*)> save;
};
const Writer kWriters[] = {
    {"model.vxm", [](VxmModel* m, const char* path) { return vxmModelSaveVXM(m, path); }},
    {"lights.vlt", [](VxmModel*, const char* path) { return vxmLightSaveVLT(path); }},
};

TEST_F(SafeSave, EveryFailingStepLeavesTheOldFileAndNoTemporaryFile) {
  for (const Writer& writer : kWriters) {
    SCOPED_TRACE(writer.name);
    const std::string target = path(writer.name);
    ASSERT_TRUE(writer.save(model, target.c_str()));
    const std::string good = read(writer.name);
    ASSERT_GT(good.size(), 100u);
    const uint64_t size = good.size();
    const std::string old = "the old file\r\n";
    struct Fault {
      AppSaveFault fault;
      uint64_t at;
    };
    const Fault faults[] = {{APP_SAVE_FAULT_WRITE, 0},        {APP_SAVE_FAULT_WRITE, 1},
                            {APP_SAVE_FAULT_WRITE, size / 2}, {APP_SAVE_FAULT_WRITE, size - 1},
                            {APP_SAVE_FAULT_FLUSH, 0},        {APP_SAVE_FAULT_CLOSE, 0},
                            {APP_SAVE_FAULT_REPLACE, 0}};
    for (bool oldWindows : {false, true}) {
#if defined(_WIN32)
      if (oldWindows) continue;  // the Windows build takes the branch its system's version gives
#else
      appHostSetOldWindows(oldWindows);
#endif
      for (const Fault& f : faults) {
        SCOPED_TRACE(testing::Message() << (oldWindows ? "95/98 " : "") << "fault " << f.fault << " at " << f.at);
        for (bool existing : {true, false}) {
          std::filesystem::remove(target);
          if (existing) write(writer.name, old);
          appSetSaveFault(f.fault, f.at);
          trace.clear();
          EXPECT_FALSE(writer.save(model, target.c_str()));
          appSetSaveFault(APP_SAVE_FAULT_NONE, 0);
          EXPECT_EQ(files(dir), existing ? std::vector<std::string>{writer.name} : std::vector<std::string>{});
          if (existing) {
            EXPECT_EQ(read(writer.name), old);
          }
          EXPECT_EQ(appSaveReason(), diskFull());
          EXPECT_FALSE(trace.lines.empty());
        }
      }
      // A write that ends exactly at the hook's byte has not failed; nor has the save.
      appSetSaveFault(APP_SAVE_FAULT_WRITE, size);
      write(writer.name, old);
      EXPECT_TRUE(writer.save(model, target.c_str()));
      EXPECT_EQ(read(writer.name), good);
      EXPECT_EQ(files(dir), std::vector<std::string>{writer.name});
    }
    std::filesystem::remove(target);
  }
}

TEST_F(SafeSave, AModelSavedOverItselfOnlyChangesOnSuccess) {
  // The fault read from the environment, as the programs take it.
  AppSaveFault fault = APP_SAVE_FAULT_NONE;
  uint64_t at = 1;
  ASSERT_TRUE(appParseSaveFault("write:16384", &fault, &at));
  EXPECT_EQ(fault, APP_SAVE_FAULT_WRITE);
  EXPECT_EQ(at, 16384u);
  for (const char* bad : {"write:", "write:x", "write:12k", "writes:1", "", "close:1"})
    EXPECT_FALSE(appParseSaveFault(bad, &fault, &at)) << bad;
  // A model big enough to pass 16 KiB, saved, then saved again with the disk full at 16 KiB.
  VxmModel* big = vxmModelCreate(3000, 0, 1);
  ASSERT_NE(big, nullptr);
  big->tris[0].v[1] = 1, big->tris[0].v[2] = 2;
  for (int i = 0; i < 3000; ++i) big->vertices[i] = {i * 0.25f, -i * 0.5f, 1.0f};
  const std::string target = path("big.vxm");
  ASSERT_TRUE(vxmModelSaveVXM(big, target.c_str()));
  const std::string before = read("big.vxm");
  ASSERT_GT(before.size(), 16384u * 2);
  big->vertices[0].x = 9.0f;
  appSetSaveFault(APP_SAVE_FAULT_WRITE, 16384);
  EXPECT_FALSE(vxmModelSaveVXM(big, target.c_str()));
  EXPECT_EQ(read("big.vxm"), before);
  EXPECT_EQ(files(dir), std::vector<std::string>{"big.vxm"});
  appSetSaveFault(APP_SAVE_FAULT_NONE, 0);
  EXPECT_TRUE(vxmModelSaveVXM(big, target.c_str()));
  EXPECT_NE(read("big.vxm"), before);
  vxmModelFree(big);
}

#if !defined(_WIN32)
// Windows keeps paths to 259 characters; the temporary name shrinks to fit beside a target at
// that limit (down to a single character), and a target one past it is refused.
TEST_F(SafeSave, ATargetAtThePathLimitStillGetsItsTemporaryFile) {
  std::string folder = dir;
  while (folder.size() < 200) {
    folder += "/" + std::string(std::min<size_t>(60, 200 - folder.size()), 'd');
    std::filesystem::create_directory(folder);
  }
  for (const std::string& name : {std::string("m"), std::string("model.vxm")}) {
    SCOPED_TRACE(name);
    std::string sub = folder + "/" + std::string(APP_PATH_LENGTH - 1 - folder.size() - 2 - name.size(), 'f');
    std::filesystem::create_directory(sub);
    const std::string target = sub + "/" + name;
    ASSERT_EQ(target.size(), (size_t)APP_PATH_LENGTH - 1);
    write(target.substr(dir.size() + 1), "old");
    EXPECT_TRUE(vxmModelSaveVXM(model, target.c_str()));
    EXPECT_EQ(files(sub), std::vector<std::string>{name});
    EXPECT_NE(read(target.substr(dir.size() + 1)), "old");
    EXPECT_FALSE(vxmModelSaveVXM(model, (target + "x").c_str()));
    EXPECT_EQ(files(sub), std::vector<std::string>{name});
    std::filesystem::remove_all(sub);
  }
}
#endif

}  // namespace
