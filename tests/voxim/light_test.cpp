// light_test.cpp: the lighting state, its shade tables, and VLT files: exact text, round trips,
// all-or-nothing loads and every failure with its message.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "ModelTestSupport.h"
#include "vxmLight.h"

namespace {

// The table rule written out directly: min(255, floor(i A / 256) + floor(j D / 256)).
int expectedEntry(int i, int j, int a, int d) {
  int v = i * a / 256 + j * d / 256;
  return v > 255 ? 255 : v;
}

void expectTablesFollow(uint32_t ambient, uint32_t directional) {
  const uint8_t* tables[3] = {vxmLightGetRedTable(), vxmLightGetGreenTable(), vxmLightGetBlueTable()};
  for (int c = 0; c < 3; ++c) {
    int shift = 16 - 8 * c;
    int a = (int)((ambient >> shift) & 0xFF), d = (int)((directional >> shift) & 0xFF);
    for (int i = 0; i < 256; ++i)
      for (int j = 0; j < 256; ++j)
        ASSERT_EQ(tables[c][i * 256 + j], expectedEntry(i, j, a, d)) << "channel " << c << " [" << i << "][" << j << "]";
  }
}

const char* kVltText =
    "VOXIM Light Format test\n"
    "Version: 2.10\n"
    "Ambient Light:\n"
    "Red 10\n"
    "Green 20\n"
    "Blue 30\n"
    "Directional Light:\n"
    "Red 200\n"
    "Green 100\n"
    "Blue 50\n"
    "Direction 0.5 -1.25 3\n";

class VxmLightTest : public ModelFolderTest {
 protected:
  void SetUp() override {
    ModelFolderTest::SetUp();
    // A known state: the defaults the renderer sets.
    vxmLightSetAmbient(0xFFFFFF);
    vxmLightSetDirectional(0x7F7F7F);
    const VxmVector z = {0, 0, 1};
    vxmLightSetDirection(&z);
    trace.clear();
  }
  bool load(const std::string& text) {
    write("l.vlt", testCrlf(text));
    return vxmLightLoadVLT("l.vlt");
  }
  std::string readFailed() const { return "Failed to read from file: " + path("l.vlt"); }
};

}  // namespace

TEST_F(VxmLightTest, DefaultTablesHaveTheDocumentedCorners) {
  const uint8_t* red = vxmLightGetRedTable();
  EXPECT_EQ(red[0 * 256 + 0], 0);
  EXPECT_EQ(red[255 * 256 + 0], 254);
  EXPECT_EQ(red[0 * 256 + 255], 126);
  EXPECT_EQ(red[255 * 256 + 255], 255);  // 254 + 126 saturates
  EXPECT_EQ(red[128 * 256 + 128], 190);  // 127 + 63
  EXPECT_EQ(std::memcmp(red, vxmLightGetGreenTable(), 65536), 0);
  EXPECT_EQ(std::memcmp(red, vxmLightGetBlueTable(), 65536), 0);
  expectTablesFollow(0xFFFFFF, 0x7F7F7F);
}

TEST_F(VxmLightTest, TablesFollowEveryColourChange) {
  vxmLightSetAmbient(0x000000);
  EXPECT_EQ(vxmLightGetAmbient(), 0u);
  expectTablesFollow(0x000000, 0x7F7F7F);
  // No ambient: the value depends on the intensity only.
  const uint8_t* green = vxmLightGetGreenTable();
  for (int i = 0; i < 256; ++i) ASSERT_EQ(green[i * 256 + 200], green[200]);
  vxmLightSetAmbient(0x8040C0);
  vxmLightSetDirectional(0x000000);
  EXPECT_EQ(vxmLightGetDirectional(), 0u);
  expectTablesFollow(0x8040C0, 0x000000);
  // No directional light: the value depends on the surface colour only.
  const uint8_t* red = vxmLightGetRedTable();
  for (int j = 0; j < 256; ++j) ASSERT_EQ(red[77 * 256 + j], red[77 * 256]);
  // Any value is accepted, the top byte carries nothing.
  vxmLightSetDirectional(0xFF123456);
  EXPECT_EQ(vxmLightGetDirectional(), 0xFF123456u);
  expectTablesFollow(0x8040C0, 0x123456);
  EXPECT_TRUE(trace.lines.empty());
}

TEST_F(VxmLightTest, DirectionIsStoredExactlyAsGiven) {
  const VxmVector d = {0, 0, 0}, e = {3, -4, 1e20f};
  vxmLightSetDirection(&d);
  VxmVector out = {9, 9, 9};
  vxmLightGetDirection(&out);
  EXPECT_EQ(out.x, 0.0f);
  EXPECT_EQ(out.z, 0.0f);
  vxmLightSetDirection(&e);
  const VxmVector* live = vxmLightDirectionPtr();
  EXPECT_EQ(live->x, 3.0f);
  EXPECT_EQ(live->y, -4.0f);
  EXPECT_EQ(live->z, 1e20f);
  EXPECT_TRUE(trace.lines.empty());
  vxmLightSetDirection(nullptr);
  vxmLightGetDirection(nullptr);
  EXPECT_EQ(trace.messages(), std::vector<std::string>(2, "Invalid Parameters"));
  EXPECT_EQ(trace.lines[0].rfind("voxim/Light.cpp(", 0), 0u);
  EXPECT_EQ(vxmLightDirectionPtr()->x, 3.0f);
}

TEST_F(VxmLightTest, SaveWritesTheDocumentedText) {
  vxmLightSetAmbient(0x0A141E);
  vxmLightSetDirectional(0xC86432);
  const VxmVector d = {0.5f, -1.25f, 1.0f / 3.0f};
  vxmLightSetDirection(&d);
  ASSERT_TRUE(vxmLightSaveVLT(path("out.vlt").c_str()));
  EXPECT_EQ(read("out.vlt"),
            "VOXIM Light Format - Quirla lighting file\r\nVersion: 2.10\r\nAmbient Light:\r\n"
            "Red 10\r\nGreen 20\r\nBlue 30\r\nDirectional Light:\r\nRed 200\r\nGreen 100\r\nBlue 50\r\n"
            "Direction 0.500000 -1.250000 0.333333\r\n");
  EXPECT_TRUE(trace.lines.empty());
}

TEST_F(VxmLightTest, SaveAndLoadRoundTrip) {
  vxmLightSetAmbient(0x01FE80);
  vxmLightSetDirectional(0xFF00FF);
  const VxmVector d = {-0.25f, 0.125f, 0.987654f};
  vxmLightSetDirection(&d);
  ASSERT_TRUE(vxmLightSaveVLT(path("rt.vlt").c_str()));
  vxmLightSetAmbient(0);
  vxmLightSetDirectional(0);
  ASSERT_TRUE(vxmLightLoadVLT("rt.vlt"));
  EXPECT_EQ(vxmLightGetAmbient(), 0x01FE80u);
  EXPECT_EQ(vxmLightGetDirectional(), 0xFF00FFu);
  VxmVector out;
  vxmLightGetDirection(&out);
  EXPECT_EQ(out.x, -0.25f);
  EXPECT_EQ(out.y, 0.125f);
  EXPECT_EQ(out.z, 0.987654f);  // six decimals
  expectTablesFollow(0x01FE80, 0xFF00FF);
  EXPECT_TRUE(trace.lines.empty());
}

TEST_F(VxmLightTest, LoadReadsTheDocumentedForms) {
  ASSERT_TRUE(load(kVltText));
  EXPECT_EQ(vxmLightGetAmbient(), 0x0A141Eu);
  EXPECT_EQ(vxmLightGetDirectional(), 0xC86432u);
  EXPECT_EQ(vxmLightDirectionPtr()->y, -1.25f);
  EXPECT_EQ(vxmLightDirectionPtr()->z, 3.0f);
  expectTablesFollow(0x0A141E, 0xC86432);
  // Any notice and version line, any heading text; numbers as scanf reads them; colour numbers
  // keep their low 8 bits (256 -> 0, 300 -> 44, -1 -> 255); lone LF line ends.
  const std::string loose =
      "\nVersion: 9.99 beta\nwhatever\nRed 256\nGreen   300\nBlue\n-1\nDIRECTIONAL\nRed 1 Green 2\tBlue 3\n"
      "Direction 1e1 -0 +2.5\n";
  write("loose.vlt", loose);
  ASSERT_TRUE(vxmLightLoadVLT("loose.vlt"));
  EXPECT_EQ(vxmLightGetAmbient(), 0x002CFFu);
  EXPECT_EQ(vxmLightGetDirectional(), 0x010203u);
  EXPECT_EQ(vxmLightDirectionPtr()->x, 10.0f);
  EXPECT_EQ(vxmLightDirectionPtr()->z, 2.5f);
  expectTablesFollow(0x002CFF, 0x010203);
  EXPECT_TRUE(trace.lines.empty());
}

TEST_F(VxmLightTest, LoadFindsFilesBelowTheInstallationFolder) {
  write("Light.vlt", testCrlf(kVltText));
  ASSERT_TRUE(vxmLightLoadVLT(path("Light.vlt").c_str()));  // full path
  vxmLightSetAmbient(0);
  ASSERT_TRUE(vxmLightLoadVLT("Light.vlt"));
  EXPECT_EQ(vxmLightGetAmbient(), 0x0A141Eu);
}

TEST_F(VxmLightTest, LoadFailuresAreReported) {
  EXPECT_FALSE(vxmLightLoadVLT(nullptr));
  EXPECT_FALSE(vxmLightSaveVLT(nullptr));
  EXPECT_EQ(trace.messages(), std::vector<std::string>(2, "Invalid Parameters"));
  trace.clear();
  EXPECT_FALSE(vxmLightLoadVLT("Lights\\none.vlt"));
  EXPECT_EQ(trace.messages(), std::vector<std::string>{"Failed to validate file: Lights\\none.vlt"});
  trace.clear();
  const std::string bad = path("missing-folder") + "/x.vlt";
  EXPECT_FALSE(vxmLightSaveVLT(bad.c_str()));
  EXPECT_EQ(trace.messages(), std::vector<std::string>{"Failed to open file: " + bad});
  EXPECT_EQ(vxmLightGetAmbient(), 0xFFFFFFu);
}

// A load is all or nothing: a file cut after either colour block, with a bad direction line or a
// wrong label, leaves the colours, the direction and the tables exactly as they were.
TEST_F(VxmLightTest, AFailedLoadChangesNothing) {
  const std::string full = kVltText;
  const std::pair<const char*, std::string> broken[] = {
      {"cut after the ambient block", full.substr(0, full.find("Directional Light:"))},
      {"cut after the directional block", full.substr(0, full.find("Direction "))},
      {"third direction number missing", full.substr(0, full.find(" 3\n")) + " x\n"},
      {"small-letter label", std::string(full).replace(full.find("Red 10"), 3, "red")},
      {"blue label in capitals", std::string(full).replace(full.find("Blue 30"), 4, "BLUE")},
  };
  for (const auto& [what, text] : broken) {
    SCOPED_TRACE(what);
    trace.clear();
    EXPECT_FALSE(load(text));
    EXPECT_EQ(trace.messages(), std::vector<std::string>{readFailed()});
    EXPECT_EQ(vxmLightGetAmbient(), 0xFFFFFFu);
    EXPECT_EQ(vxmLightGetDirectional(), 0x7F7F7Fu);
    EXPECT_EQ(vxmLightDirectionPtr()->x, 0.0f);
    EXPECT_EQ(vxmLightDirectionPtr()->y, 0.0f);
    EXPECT_EQ(vxmLightDirectionPtr()->z, 1.0f);
  }
  expectTablesFollow(0xFFFFFF, 0x7F7F7F);
}

TEST_F(VxmLightTest, EveryTruncationFails) {
  const std::string full = testCrlf(kVltText);
  const size_t lastDigit = full.rfind('3');
  for (size_t n = 0; n < full.size(); ++n) {
    trace.clear();
    write("l.vlt", full.substr(0, n));
    bool ok = vxmLightLoadVLT("l.vlt");
    EXPECT_EQ(ok, n > lastDigit) << n;
    if (!ok) {
      EXPECT_EQ(trace.messages(), std::vector<std::string>{readFailed()}) << n;
      EXPECT_EQ(vxmLightGetAmbient(), 0xFFFFFFu) << n;
      EXPECT_EQ(vxmLightDirectionPtr()->z, 1.0f) << n;
    }
  }
  // Skipped lines longer than 255 characters are read as two lines.
  std::string longNotice = kVltText;
  longNotice.insert(0, std::string(300, 'x'));
  trace.clear();
  EXPECT_FALSE(load(longNotice));
  EXPECT_EQ(trace.messages(), std::vector<std::string>{readFailed()});
}
