// colour_dialog_test.cpp: vxmChooseColour with the real Windows colour dialog. A second thread
// finds the dialog, reads its colour fields, types new values, adds a custom colour and presses
// OK or Cancel, while the test's own thread sits in the modal call.
#include <gtest/gtest.h>
#include <windows.h>
#include <colordlg.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>

#include "TestSupport.h"
#include "app.h"
#include "vxmBitmap.h"
#include "windriver.h"

namespace {

// A plain top-level window to own the dialog.
HWND makeOwner() {
  static bool registered = false;
  if (!registered) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "QuirlaColourOwner";
    RegisterClassA(&wc);
    registered = true;
  }
  HWND owner = CreateWindowA("QuirlaColourOwner", "Colour owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 300, 200,
                             nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  return owner;
}

int fieldValue(HWND dialog, int id) {
  char text[32] = "";
  if (!drvGetText(drvControl(dialog, id), text, sizeof text)) return -1;
  return std::atoi(text);
}

struct DialogSeen {
  bool found = false;
  HWND dialog = nullptr;
  HWND owner = nullptr;
  int red = -1, green = -1, blue = -1;  // the fields as the dialog opened
  bool mixButtonEnabled = true;         // "Define Custom Colors" is disabled when opened full
  bool customBoxVisible = false;
};

// Runs vxmChooseColour on this thread while `drive` handles the dialog on another.
int runDialog(HWND owner, uint8_t* colour, DialogSeen* seen, const std::function<void(HWND)>& drive) {
  std::thread driver([&] {
    HWND dialog = drvWaitWindow("#32770", nullptr, GetCurrentProcessId(), DRV_TIMEOUT);
    if (!dialog) return;
    seen->found = true;
    seen->dialog = dialog;
    seen->owner = GetWindow(dialog, GW_OWNER);
    seen->red = fieldValue(dialog, COLOR_RED);
    seen->green = fieldValue(dialog, COLOR_GREEN);
    seen->blue = fieldValue(dialog, COLOR_BLUE);
    seen->mixButtonEnabled = drvIsEnabled(drvControl(dialog, COLOR_MIX));
    seen->customBoxVisible = drvIsVisible(drvControl(dialog, COLOR_ADD));
    drive(dialog);
    // Whatever the script did, the dialog must not outlive it.
    if (!drvWaitGone(dialog, 5000)) drvPostCommand(dialog, IDCANCEL);
  });
  int result = vxmChooseColour(owner, colour);
  driver.join();
  return result;
}

void typeColour(HWND dialog, int red, int green, int blue) {
  drvSetText(drvControl(dialog, COLOR_RED), std::to_string(red).c_str());
  drvSetText(drvControl(dialog, COLOR_GREEN), std::to_string(green).c_str());
  drvSetText(drvControl(dialog, COLOR_BLUE), std::to_string(blue).c_str());
}

class ColourDialog : public ::testing::Test {
 protected:
  HWND owner = nullptr;
  void SetUp() override {
    owner = makeOwner();
    ASSERT_NE(owner, nullptr);
  }
  void TearDown() override { DestroyWindow(owner); }
};

TEST_F(ColourDialog, OpensFullWithOurColourAndReturnsTheChosenOne) {
  uint8_t colour[3] = {30, 20, 200};  // blue, green, red
  DialogSeen seen;
  int result = runDialog(owner, colour, &seen, [](HWND dialog) {
    typeColour(dialog, 12, 34, 56);
    drvPressButton(dialog, IDOK);
  });
  ASSERT_TRUE(seen.found);
  EXPECT_EQ(seen.owner, owner);
  EXPECT_EQ(seen.red, 200);
  EXPECT_EQ(seen.green, 20);
  EXPECT_EQ(seen.blue, 30);
  EXPECT_FALSE(seen.mixButtonEnabled) << "opened full, the custom-colour button is off";
  EXPECT_TRUE(seen.customBoxVisible);
  EXPECT_NE(result, 0);
  EXPECT_EQ(colour[0], 56);
  EXPECT_EQ(colour[1], 34);
  EXPECT_EQ(colour[2], 12);
}

TEST_F(ColourDialog, CancelGivesZeroAndKeepsTheColour) {
  uint8_t colour[3] = {1, 2, 3};
  DialogSeen seen;
  int result = runDialog(owner, colour, &seen, [](HWND dialog) {
    typeColour(dialog, 250, 251, 252);
    drvPressButton(dialog, IDCANCEL);
  });
  ASSERT_TRUE(seen.found);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(colour[0], 1);
  EXPECT_EQ(colour[1], 2);
  EXPECT_EQ(colour[2], 3);
}

TEST_F(ColourDialog, CustomColoursLastFromOneDialogToTheNext) {
  uint8_t colour[3] = {0, 0, 0};
  DialogSeen seen;
  runDialog(owner, colour, &seen, [](HWND dialog) {
    typeColour(dialog, 90, 180, 45);
    drvPressButton(dialog, COLOR_ADD);
    drvPressButton(dialog, IDCANCEL);
  });
  ASSERT_TRUE(seen.found);
  // The next dialog starts from another colour; picking the first custom cell brings back the
  // one added above.
  uint8_t again[3] = {200, 200, 200};
  DialogSeen next;
  int result = runDialog(owner, again, &next, [](HWND dialog) {
    RECT box;
    drvControlRect(drvControl(dialog, COLOR_CUSTOM1), &box);
    LPARAM at = MAKELPARAM(box.left + 3, box.top + 3);
    drvSend(dialog, WM_LBUTTONDOWN, MK_LBUTTON, at, nullptr);
    drvSend(dialog, WM_LBUTTONUP, 0, at, nullptr);
    drvPressButton(dialog, IDOK);
  });
  ASSERT_TRUE(next.found);
  EXPECT_NE(result, 0);
  EXPECT_EQ(again[0], 45);
  EXPECT_EQ(again[1], 180);
  EXPECT_EQ(again[2], 90);
}

TEST_F(ColourDialog, RefusesMissingArguments) {
  TraceCapture trace;
  uint8_t colour[3] = {1, 2, 3};
  EXPECT_EQ(vxmChooseColour(nullptr, colour), 0);
  EXPECT_EQ(vxmChooseColour(owner, nullptr), 0);
  EXPECT_EQ(trace.messages(), std::vector<std::string>(2, "Invalid Parameters"));
  EXPECT_EQ(drvFindWindow("#32770", nullptr, GetCurrentProcessId()), nullptr) << "no dialog was shown";
}

}  // namespace
