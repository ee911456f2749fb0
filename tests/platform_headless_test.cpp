// platform_headless_test.cpp - the headless backend's controls and the display objects behind them
#include <gtest/gtest.h>

#include <cstring>

#include "platform/headless/headless.h"
#include "platform/platform.h"
#include "platform/resultcodes.h"

namespace {

intptr_t testproc(pfwindow* w, uint32_t m, uintptr_t wp, intptr_t lp) { return pfdefwindowproc(w, m, wp, lp); }

// A started headless platform with one visible window of class "testclass".
pfwindow* openwindow() {
  EXPECT_EQ(pfheadlessstart(), 1);
  pfwindowclass c{};
  c.proc = testproc;
  c.classname = "testclass";
  EXPECT_NE(pfregisterclass(&c), 0);
  pfwindow* w = pfcreatewindow(0, "testclass", "title", PF_WS_POPUP | PF_WS_VISIBLE, 0, 0, 64, 48, nullptr, nullptr,
                               nullptr, nullptr);
  EXPECT_NE(w, nullptr);
  return w;
}

// One pump as the display code does it: read the keys, then drain the queue.
void pump(uint8_t keys[256]) {
  pfgetkeyboardstate(keys);
  pfmessage m;
  while (pfpeekmessage(&m, nullptr, 0, 0, PF_PM_REMOVE)) pfdispatchmessage(&m);
}

}  // namespace

TEST(PlatformHeadless, ScriptedKeyShowsOnePumpLater) {
  openwindow();
  std::string error;
  // Not pressed at pump 1; F pressed at pump 2 for one pump; A held over pumps 3 to 4.
  pfheadlessatpump(2, [] { pfheadlesskey('F', true); });
  pfheadlessatpump(3, [] { pfheadlesskey('F', false); });
  uint8_t keys[256];
  const int expectedF[] = {0, 0, 1, 0, 0};  // pumps 1..5
  for (int p = 1; p <= 5; ++p) {
    pump(keys);
    EXPECT_EQ((keys['F'] & 0x80) != 0, expectedF[p - 1] == 1) << "pump " << p;
  }
}
