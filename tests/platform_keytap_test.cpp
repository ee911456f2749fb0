// platform_keytap_test.cpp - a key pressed and released between two keyboard reads is still seen
#include <gtest/gtest.h>

#include <vector>

#include "platform/headless/headless.h"
#include "platform/platform.h"

namespace {

std::vector<uint32_t> tapseen;  // messages the test window received, in order

intptr_t taprecordingproc(pfwindow* w, uint32_t m, uintptr_t wp, intptr_t lp) {
    tapseen.push_back(m);
    return pfdefwindowproc(w, m, wp, lp);
}

void opentapwindow() {
    ASSERT_EQ(pfheadlessstart(), 1);
    tapseen.clear();
    pfwindowclass c{};
    c.proc = taprecordingproc;
    c.classname = "keytapclass";
    ASSERT_NE(pfregisterclass(&c), 0);
    ASSERT_NE(pfcreatewindow(0, "keytapclass", "keytap", PF_WS_POPUP | PF_WS_VISIBLE, 0, 0, 64, 48, nullptr,
                             nullptr, nullptr, nullptr),
              nullptr);
}

// One pump as the display code does it: read the keys, then drain the queue. Returns whether
// the key was down in that read.
bool pumpreads(int vk) {
    uint8_t keys[256];
    pfgetkeyboardstate(keys);
    pfmessage m;
    while (pfpeekmessage(&m, nullptr, 0, 0, PF_PM_REMOVE)) pfdispatchmessage(&m);
    return (keys[vk] & 0x80) != 0;
}

}  // namespace

TEST(PlatformKeyTap, TapsShorterThanOnePumpShowInOneReadEach) {
    struct tapcase {
        const char* name;
        int taps;                    // press-release pairs posted between reads 1 and 2
        std::vector<bool> expected;  // key down in reads 2, 3, ...
    };
    const tapcase cases[] = {
        {"one tap", 1, {false, true, false, false}},
        {"double tap", 2, {false, true, false, true, false}},
    };
    for (const tapcase& c : cases) {
        opentapwindow();
        pumpreads('F');  // read 1
        for (int i = 0; i < c.taps; ++i) {
            pfheadlesskey('F', true);
            pfheadlesskey('F', false);
        }
        std::vector<bool> got;
        for (size_t i = 0; i < c.expected.size(); ++i) got.push_back(pumpreads('F'));
        EXPECT_EQ(got, c.expected) << c.name;
    }
}

TEST(PlatformKeyTap, OtherMessagesAndKeysPassAWaitingRelease) {
    opentapwindow();
    pumpreads('Q');
    // A tap of F, then a character and a press of Q: only F's release waits for the next read.
    pfheadlesskey('F', true);
    pfheadlesskey('F', false);
    pfheadlesschar('x');
    pfheadlesskey('Q', true);
    tapseen.clear();
    EXPECT_FALSE(pumpreads('Q'));
    EXPECT_EQ(tapseen, (std::vector<uint32_t>{PFM_KEYDOWN, PFM_CHAR, PFM_KEYDOWN}));
    // With only the waiting release queued, the queue reads as empty rather than stuck.
    pfmessage m;
    EXPECT_EQ(pfpeekmessage(&m, nullptr, 0, 0, PF_PM_REMOVE), 0);
    tapseen.clear();
    uint8_t keys[256];
    pfgetkeyboardstate(keys);
    EXPECT_NE(keys['F'] & 0x80, 0);
    EXPECT_NE(keys['Q'] & 0x80, 0);
    ASSERT_EQ(pfpeekmessage(&m, nullptr, 0, 0, PF_PM_REMOVE), 1);
    EXPECT_EQ(m.message, static_cast<uint32_t>(PFM_KEYUP));
    EXPECT_EQ(m.wparam & 0xFF, static_cast<uintptr_t>('F'));
}

TEST(PlatformKeyTap, QuickClickReleaseWaitsForTheNextRead) {
    opentapwindow();
    pumpreads('K');
    // A click shorter than one pump, a move after it, and a key press that need not wait.
    pfheadlessbutton(0, true, 5, 6);
    pfheadlessbutton(0, false, 5, 6);
    pfheadlessmouse(7, 8, 0);
    pfheadlesskey('K', true);
    tapseen.clear();
    pumpreads('K');
    EXPECT_EQ(tapseen, (std::vector<uint32_t>{PFM_LBUTTONDOWN, PFM_KEYDOWN}));
    tapseen.clear();
    EXPECT_TRUE(pumpreads('K'));
    EXPECT_EQ(tapseen, (std::vector<uint32_t>{PFM_LBUTTONUP, PFM_MOUSEMOVE}));
}
