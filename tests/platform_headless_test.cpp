// platform_headless_test.cpp - the headless backend's controls and the display objects behind them
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/backend.h"
#include "platform/headless/headless.h"
#include "platform/platform.h"
#include "platform/resultcodes.h"

namespace {

std::vector<uint32_t> seen;  // messages the test window procedure received, in order

intptr_t recordingproc(pfwindow* w, uint32_t m, uintptr_t wp, intptr_t lp) {
    seen.push_back(m);
    return pfdefwindowproc(w, m, wp, lp);
}

// A started headless platform with one visible window.
pfwindow* openwindow() {
    EXPECT_EQ(pfheadlessstart(), 1);
    seen.clear();
    pfwindowclass c{};
    c.proc = recordingproc;
    c.classname = "testclass";
    EXPECT_NE(pfregisterclass(&c), 0);
    pfwindow* w = pfcreatewindow(0, "testclass", "title", PF_WS_POPUP | PF_WS_VISIBLE, 0, 0, 64, 48, nullptr,
                                 nullptr, nullptr, nullptr);
    EXPECT_NE(w, nullptr);
    return w;
}

// One pump as the display code does it: read the keys, then drain the queue.
void pump(uint8_t keys[256]) {
    pfgetkeyboardstate(keys);
    pfmessage m;
    while (pfpeekmessage(&m, nullptr, 0, 0, PF_PM_REMOVE)) pfdispatchmessage(&m);
}

// A display in exclusive mode with the given depth.
pfdisplay* opendisplay(pfwindow* w, int width, int height, int bits) {
    pfdisplay* dd = nullptr;
    EXPECT_EQ(pfdisplaycreate(nullptr, &dd, nullptr), 0u);
    EXPECT_EQ(pfdisplaysetcooperativelevel(dd, w, PF_SCL_FULLSCREEN | PF_SCL_EXCLUSIVE | PF_SCL_ALLOWREBOOT),
              0u);
    EXPECT_EQ(pfdisplaysetmode(dd, width, height, bits), 0u);
    return dd;
}

pfsurface* makesurface(pfdisplay* dd, bool primary, int width = 0, int height = 0) {
    pfsurfacedesc desc{};
    desc.flags = primary ? PF_SD_CAPS : (PF_SD_CAPS | PF_SD_WIDTH | PF_SD_HEIGHT);
    desc.caps = primary ? PF_CAPS_PRIMARYSURFACE : (PF_CAPS_OFFSCREENPLAIN | PF_CAPS_SYSTEMMEMORY);
    desc.width = width;
    desc.height = height;
    pfsurface* s = nullptr;
    EXPECT_EQ(pfdisplaycreatesurface(dd, &desc, &s, nullptr), 0u);
    return s;
}

// The 6x5 'F' in two colours: ink where the letter is, paper elsewhere.
const char* const letterF[5] = {"#####.", "#.....", "####..", "#.....", "#....."};

}  // namespace

TEST(PlatformHeadless, ScriptedKeyShowsOnePumpLater) {
    openwindow();
    // F goes down at pump 2 and up at pump 3; Shift+Control arrive as left keys at pump 4.
    pfheadlessatpump(2, [] { pfheadlesskey('F', true); });
    pfheadlessatpump(3, [] { pfheadlesskey('F', false); });
    pfheadlessatpump(4, [] {
        pfheadlesskey(PFVK_LSHIFT, true);
        pfheadlesskey(PFVK_RCONTROL, true);
    });
    uint8_t keys[256];
    struct expectation {
        int pump;
        bool f, shift, control;
    };
    const expectation table[] = {{1, false, false, false},
                                 {2, false, false, false},
                                 {3, true, false, false},
                                 {4, false, false, false},
                                 {5, false, true, true}};
    for (const expectation& e : table) {
        pump(keys);
        EXPECT_EQ(pfheadlesspumps(), e.pump);
        EXPECT_EQ((keys['F'] & 0x80) != 0, e.f) << "pump " << e.pump;
        EXPECT_EQ((keys[PFVK_SHIFT] & 0x80) != 0, e.shift) << "pump " << e.pump;
        EXPECT_EQ((keys[PFVK_LSHIFT] & 0x80) != 0, e.shift) << "pump " << e.pump;
        EXPECT_EQ((keys[PFVK_CONTROL] & 0x80) != 0, e.control) << "pump " << e.pump;
        EXPECT_EQ((keys[PFVK_RCONTROL] & 0x80) != 0, e.control) << "pump " << e.pump;
        EXPECT_EQ(keys[PFVK_LCONTROL] & 0x80, 0) << "pump " << e.pump;
    }
    // Losing the focus clears every key.
    pfpostmessage(nullptr, PFM_KILLFOCUS, 0, 0);
    pump(keys);
    pump(keys);
    for (int i = 0; i < 256; ++i) EXPECT_EQ(keys[i] & 0x80, 0) << i;
}

TEST(PlatformHeadless, RefusedDepthsAndBadModes) {
    pfwindow* w = openwindow();
    pfheadlesssetdepths({32});
    pfdisplay* dd = nullptr;
    ASSERT_EQ(pfdisplaycreate(nullptr, &dd, nullptr), 0u);
    EXPECT_EQ(pfdisplaysetmode(dd, 640, 480, 8), PFERR_NOEXCLUSIVEMODE);  // before the cooperative level
    ASSERT_EQ(pfdisplaysetcooperativelevel(dd, w, PF_SCL_FULLSCREEN | PF_SCL_EXCLUSIVE), 0u);
    const struct {
        int width, height, bits;
        pfresult result;
    } cases[] = {{640, 480, 8, PFERR_UNSUPPORTEDMODE},
                 {640, 480, 24, PFERR_UNSUPPORTEDMODE},
                 {640, 480, 12, PFERR_INVALIDMODE},
                 {0, 480, 32, PFERR_INVALIDMODE},
                 {640, 480, 32, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(pfdisplaysetmode(dd, c.width, c.height, c.bits), c.result)
            << c.width << "x" << c.height << "x" << c.bits;
    int mw, mh, mb;
    pfdisplaygetmode(dd, &mw, &mh, &mb);
    EXPECT_EQ(mw * 10000 + mh * 10 + mb / 8, 640 * 10000 + 480 * 10 + 4);
    // A second display object is refused while the first lives.
    pfdisplay* second = nullptr;
    EXPECT_EQ(pfdisplaycreate(nullptr, &second, nullptr), PFERR_DIRECTDRAWALREADYCREATED);
}

TEST(PlatformHeadless, InjectedFailuresHitTheNamedCallOnly) {
    pfwindow* w = openwindow();
    pfdisplay* dd = opendisplay(w, 16, 8, 8);
    pfsurface* shad = makesurface(dd, false, 16, 8);
    pfheadlessfail("pfsurfacelock", PFERR_SURFACEBUSY, 1);
    pfsurfacedesc desc{};
    EXPECT_EQ(pfsurfacelock(shad, nullptr, &desc, PF_LOCK_WAIT, nullptr), PFERR_SURFACEBUSY);
    EXPECT_EQ(pfsurfacelock(shad, nullptr, &desc, PF_LOCK_WAIT, nullptr), 0u);  // only once
    EXPECT_EQ(pfsurfaceunlock(shad, nullptr), 0u);
    pfheadlessfail("pfdisplaycreatesurface", PFERR_OUTOFMEMORY);  // until cleared
    pfsurfacedesc d2{PF_SD_CAPS | PF_SD_WIDTH | PF_SD_HEIGHT, 4, 4, 0, nullptr, {}, PF_CAPS_OFFSCREENPLAIN};
    pfsurface* s = nullptr;
    EXPECT_EQ(pfdisplaycreatesurface(dd, &d2, &s, nullptr), PFERR_OUTOFMEMORY);
    EXPECT_EQ(pfdisplaycreatesurface(dd, &d2, &s, nullptr), PFERR_OUTOFMEMORY);
    pfheadlessclearfailures();
    EXPECT_EQ(pfdisplaycreatesurface(dd, &d2, &s, nullptr), 0u);
    // Calls that return handles or flags fail with null or 0.
    pfheadlessfail("pfcreatewindow", PFERR_GENERIC, 1);
    EXPECT_EQ(pfcreatewindow(0, "testclass", "t", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr),
              nullptr);
    pfheadlessfail("pfregisterclass", PFERR_GENERIC, 1);
    pfwindowclass c{};
    c.proc = recordingproc;
    c.classname = "other";
    EXPECT_EQ(pfregisterclass(&c), 0);
    int64_t f = 7;
    pfheadlessfail("pfqueryperformancefrequency", PFERR_GENERIC, 1);
    EXPECT_EQ(pfqueryperformancefrequency(&f), 0);
    EXPECT_EQ(f, 7);
}

TEST(PlatformHeadless, LockGivesPitchFormatAndMemory) {
    pfwindow* w = openwindow();
    pfheadlesssetextrapitch(12);
    const struct {
        int bits;
        uint32_t greenmask;
        int rowbytes;
    } cases[] = {{8, 0, 10}, {16, 0x07E0, 20}, {24, 0xFF00, 30}, {32, 0xFF00, 40}};
    pfheadlesssetdepths({8, 16, 24, 32});
    pfdisplay* dd = opendisplay(w, 10, 3, 8);
    for (const auto& c : cases) {
        ASSERT_EQ(pfdisplaysetmode(dd, 10, 3, c.bits), 0u);
        pfsurface* s = makesurface(dd, false, 10, 3);
        pfsurfacedesc desc{};
        ASSERT_EQ(pfsurfacelock(s, nullptr, &desc, PF_LOCK_WAIT, nullptr), 0u);
        EXPECT_EQ(desc.format.bitcount, static_cast<uint32_t>(c.bits));
        EXPECT_EQ(desc.format.greenmask, c.greenmask);
        EXPECT_EQ(desc.pitch, (c.rowbytes + 3) / 4 * 4 + 12);
        EXPECT_EQ(desc.width * 100 + desc.height, 1003);
        // The whole pitch x height is ours to write.
        std::memset(desc.surface, 0xAB, static_cast<size_t>(desc.pitch) * 3);
        EXPECT_EQ(pfsurfacelock(s, nullptr, &desc, PF_LOCK_WAIT, nullptr), PFERR_SURFACEBUSY);
        EXPECT_EQ(pfsurfaceunlock(s, nullptr), 0u);
        EXPECT_EQ(pfsurfaceunlock(s, nullptr), PFERR_NOTLOCKED);
        EXPECT_EQ(pfsurfacerelease(s), 0u);
    }
}

TEST(PlatformHeadless, PresentedFramesReadBackWithTheirPalette) {
    pfwindow* w = openwindow();
    pfdisplay* dd = opendisplay(w, 6, 5, 8);
    pfpaletteentry entries[256] = {};
    entries[3] = {200, 10, 20, 4};  // ink
    entries[9] = {1, 2, 250, 4};    // paper
    pfpalette* palette = nullptr;
    ASSERT_EQ(pfdisplaycreatepalette(dd, PF_PCAPS_8BIT | PF_PCAPS_ALLOW256, entries, &palette, nullptr), 0u);
    pfsurface* primary = makesurface(dd, true);
    pfsurface* shad = makesurface(dd, false, 6, 5);
    ASSERT_EQ(pfsurfacesetpalette(primary, palette), 0u);
    pfsurfacedesc desc{};
    ASSERT_EQ(pfsurfacelock(shad, nullptr, &desc, PF_LOCK_WAIT, nullptr), 0u);
    uint8_t* pixels = static_cast<uint8_t*>(desc.surface);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 6; ++x) pixels[y * desc.pitch + x] = letterF[y][x] == '#' ? 3 : 9;
    pfheadlessrecord(true);
    // A blit from a locked surface is refused and shows nothing.
    pfrect all{0, 0, 6, 5};
    EXPECT_EQ(pfsurfacebltfast(primary, 0, 0, shad, &all, PF_BLTFAST_WAIT), PFERR_SURFACEBUSY);
    EXPECT_EQ(pfpresentcount(), 0);
    ASSERT_EQ(pfsurfaceunlock(shad, nullptr), 0u);
    ASSERT_EQ(pfsurfacebltfast(primary, 0, 0, shad, &all, PF_BLTFAST_WAIT), 0u);
    // The palette changes afterwards: the recorded frame keeps the colours it was shown with.
    pfpaletteentry grey = {50, 50, 50, 4};
    ASSERT_EQ(pfpalettesetentries(palette, 0, 3, 1, &grey), 0u);
    ASSERT_EQ(pfheadlessframes().size(), 1u);
    const pfheadlessframe& frame = pfheadlessframes()[0];
    EXPECT_EQ(frame.number, 1);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 6; ++x)
            EXPECT_EQ(frame.rgb(x, y), letterF[y][x] == '#' ? 0xC80A14u : 0x0102FAu) << x << "," << y;
    // What the screen shows now follows the new palette.
    std::vector<uint32_t> shown;
    int sw = 0, sh = 0;
    ASSERT_EQ(pfreadscreen(shown, &sw, &sh), 1);
    ASSERT_EQ(sw * 10 + sh, 65);
    EXPECT_EQ(shown[0], 0x323232u);
    EXPECT_EQ(shown[5], 0x0102FAu);
}

TEST(PlatformHeadless, ReleasingTheDisplayTakesItsObjectsAlong) {
    pfwindow* w = openwindow();
    pfdisplay* dd = opendisplay(w, 4, 4, 8);
    pfpaletteentry entries[256] = {};
    pfpalette* palette = nullptr;
    ASSERT_EQ(pfdisplaycreatepalette(dd, PF_PCAPS_8BIT, entries, &palette, nullptr), 0u);
    pfsurface* primary = makesurface(dd, true);
    pfsurface* shad = makesurface(dd, false, 4, 4);
    ASSERT_EQ(pfsurfacesetpalette(primary, palette), 0u);
    // A second primary is refused while the first lives.
    pfsurfacedesc desc{PF_SD_CAPS, 0, 0, 0, nullptr, {}, PF_CAPS_PRIMARYSURFACE};
    pfsurface* again = nullptr;
    EXPECT_EQ(pfdisplaycreatesurface(dd, &desc, &again, nullptr), PFERR_PRIMARYSURFACEALREADYEXISTS);
    // GetPalette hands out one more reference.
    pfpalette* got = nullptr;
    ASSERT_EQ(pfsurfacegetpalette(primary, &got), 0u);
    EXPECT_EQ(got, palette);
    EXPECT_EQ(pfpaletterelease(got), 2u);  // the creator's and the primary's remain
    EXPECT_EQ(pfdisplayrelease(dd), 0u);
    pfsurfacedesc d{};
    pfpaletteentry e[1];
    EXPECT_EQ(pfsurfacelock(shad, nullptr, &d, 0, nullptr), PFERR_INVALIDOBJECT);
    EXPECT_EQ(pfsurfacelock(primary, nullptr, &d, 0, nullptr), PFERR_INVALIDOBJECT);
    EXPECT_EQ(pfpalettegetentries(palette, 0, 0, 1, e), PFERR_INVALIDOBJECT);
    EXPECT_EQ(pfsurfacerelease(shad), 0u);  // stale handles are harmless
    // A new display can be made afterwards.
    pfdisplay* dd2 = nullptr;
    EXPECT_EQ(pfdisplaycreate(nullptr, &dd2, nullptr), 0u);
}

// Every minimise and restore releases the display with all its objects and makes new ones:
// released objects are really freed (only a few are kept to catch stale handles), and a
// handle used after its release is still refused.
TEST(PlatformHeadless, ReleasedObjectsAreFreed) {
    pfwindow* w = openwindow();
    int heldafterfirst = 0;
    for (int cycle = 0; cycle < 300; ++cycle) {
        pfdisplay* dd = opendisplay(w, 8, 4, 8);
        pfpaletteentry entries[256] = {};
        pfpalette* palette = nullptr;
        ASSERT_EQ(pfdisplaycreatepalette(dd, PF_PCAPS_8BIT, entries, &palette, nullptr), 0u);
        pfsurface* primary = makesurface(dd, true);
        pfsurface* shad = makesurface(dd, false, 8, 4);
        pfsurface* back = makesurface(dd, false, 8, 4);
        ASSERT_EQ(pfsurfacesetpalette(primary, palette), 0u);
        EXPECT_EQ(pfsurfacerelease(back), 0u);
        EXPECT_EQ(pfpaletterelease(palette), 1u);  // the primary still holds it
        EXPECT_EQ(pfdisplayrelease(dd), 0u);
        pfsurfacedesc d{};
        EXPECT_EQ(pfsurfacelock(shad, nullptr, &d, 0, nullptr), PFERR_INVALIDOBJECT);
        EXPECT_EQ(pfsurfacelock(back, nullptr, &d, 0, nullptr), PFERR_INVALIDOBJECT);
        EXPECT_EQ(pfsurfacesetpalette(primary, nullptr), PFERR_INVALIDOBJECT);
        EXPECT_EQ(pfdisplayrelease(dd), 0u);
        if (cycle == 50) heldafterfirst = pfheldobjects();
    }
    EXPECT_EQ(pfheldobjects(), heldafterfirst);
    EXPECT_LE(pfheldobjects(), 3 * 16);
}

TEST(PlatformHeadless, DeviceContextsHoldTheSurfaceLikeALock) {
    pfwindow* w = openwindow();
    pfdisplay* dd = opendisplay(w, 4, 4, 8);
    pfsurface* shad = makesurface(dd, false, 4, 4);
    pfsurface* primary = makesurface(dd, true);
    pfsurfacedesc d{};
    ASSERT_EQ(pfsurfacelock(shad, nullptr, &d, 0, nullptr), 0u);
    pfdc* dc = nullptr;
    EXPECT_EQ(pfsurfacegetdc(shad, &dc), PFERR_SURFACEBUSY);  // not while locked
    ASSERT_EQ(pfsurfaceunlock(shad, nullptr), 0u);
    ASSERT_EQ(pfsurfacegetdc(shad, &dc), 0u);
    EXPECT_TRUE(pfheadlesshasdc(shad));
    EXPECT_FALSE(pfheadlessislocked(shad));
    EXPECT_EQ(pfsurfacegetdc(shad, &dc), PFERR_DCALREADYCREATED);
    EXPECT_EQ(pfsurfacelock(shad, nullptr, &d, 0, nullptr), PFERR_SURFACEBUSY);
    EXPECT_EQ(pfsurfacebltfast(primary, 0, 0, shad, nullptr, 0), PFERR_SURFACEBUSY);
    EXPECT_EQ(pfsurfacereleasedc(shad, nullptr), PFERR_NODC);
    ASSERT_EQ(pfsurfacereleasedc(shad, dc), 0u);
    EXPECT_EQ(pfsurfacelock(shad, nullptr, &d, 0, nullptr), 0u);
    EXPECT_TRUE(pfheadlessislocked(shad));
    EXPECT_FALSE(pfheadlesshasdc(shad));
}

TEST(PlatformHeadless, LostSurfacesRefuseLocksUntilRestored) {
    pfwindow* w = openwindow();
    pfdisplay* dd = opendisplay(w, 4, 4, 32);
    pfsurface* primary = makesurface(dd, true);
    EXPECT_EQ(pfsurfaceislost(primary), 0u);
    pfheadlesslosesurfaces();
    pfsurfacedesc d{};
    EXPECT_EQ(pfsurfaceislost(primary), PFERR_SURFACELOST);
    EXPECT_EQ(pfsurfacelock(primary, nullptr, &d, 0, nullptr), PFERR_SURFACELOST);
    EXPECT_EQ(pfsurfacerestore(primary), 0u);
    EXPECT_EQ(pfsurfaceislost(primary), 0u);
    EXPECT_EQ(pfsurfacelock(primary, nullptr, &d, 0, nullptr), 0u);
}

TEST(PlatformHeadless, WindowMessagesAndTheDefaultProcedure) {
    pfwindow* w = openwindow();
    uint8_t keys[256];
    // Mouse: x in the low and y in the high word, buttons in wparam.
    pfheadlessbutton(0, true, 300, 7);
    pfheadlessbutton(1, true, 301, 8);
    pfmessage m{};
    ASSERT_EQ(pfpeekmessage(&m, nullptr, 0, 0, PF_PM_REMOVE), 1);
    EXPECT_EQ(m.message, PFM_LBUTTONDOWN);
    EXPECT_EQ(m.wparam, PF_MK_LBUTTON);
    EXPECT_EQ(m.lparam, (7 << 16) | 300);
    ASSERT_EQ(pfpeekmessage(&m, nullptr, 0, 0, PF_PM_REMOVE), 1);
    EXPECT_EQ(m.message, PFM_RBUTTONDOWN);
    EXPECT_EQ(m.wparam, PF_MK_LBUTTON | PF_MK_RBUTTON);
    // Minimise: iconic until the virtual clock passes the restore time.
    pfheadlessminimise(100);
    EXPECT_EQ(pfisiconic(w), 1);
    pfsleep(60);
    pump(keys);
    EXPECT_EQ(pfisiconic(w), 1);
    pfsleep(60);
    pump(keys);
    EXPECT_EQ(pfisiconic(w), 0);
    // Close: the default procedure turns it into a destroy.
    seen.clear();
    pfheadlessclose();
    pump(keys);
    EXPECT_EQ(seen, (std::vector<uint32_t>{PFM_CLOSE, PFM_DESTROY}));
    EXPECT_EQ(pfisiconic(w), 0);
    // Quit messages carry no window and are not dispatched.
    pfheadlessquit();
    ASSERT_EQ(pfpeekmessage(&m, nullptr, 0, 0, PF_PM_REMOVE), 1);
    EXPECT_EQ(m.message, PFM_QUIT);
    EXPECT_EQ(m.window, nullptr);
}

TEST(PlatformHeadless, VirtualClockDrivesSleepTicksAndCounter) {
    openwindow();
    int64_t c0 = 0, c1 = 0, f = 0;
    ASSERT_EQ(pfqueryperformancefrequency(&f), 1);
    ASSERT_EQ(pfqueryperformancecounter(&c0), 1);
    uint32_t t0 = pfgettickcount();
    pfsleep(30);
    pfheadlessadvance(2500000);  // 2.5 ms
    ASSERT_EQ(pfqueryperformancecounter(&c1), 1);
    EXPECT_EQ(pfgettickcount() - t0, 32u);
    EXPECT_EQ(c1 - c0, f * 325 / 10000);
}

TEST(PlatformHeadless, DesktopSizeAndRestart) {
    openwindow();
    EXPECT_EQ(pfgetsystemmetrics(PF_SM_CXSCREEN), 1024);
    EXPECT_EQ(pfgetsystemmetrics(PF_SM_CYSCREEN), 768);
    pfheadlesssetdesktop(0, 0);
    EXPECT_EQ(pfgetsystemmetrics(PF_SM_CXSCREEN), 0);
    EXPECT_EQ(pfgetsystemmetrics(7), 0);
    // A restart forgets the windows and classes.
    ASSERT_EQ(pfheadlessstart(), 1);
    EXPECT_EQ(pfcreatewindow(0, "testclass", "t", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr),
              nullptr);
    EXPECT_EQ(pfgetsystemmetrics(PF_SM_CXSCREEN), 1024);
}

TEST(PlatformHeadless, RefusedModeLeavesTheDesktopMode) {
    pfwindow* w = openwindow();
    pfheadlesssetdesktop(40, 30);
    pfheadlesssetdepths({8});
    pfdisplay* dd = nullptr;
    ASSERT_EQ(pfdisplaycreate(nullptr, &dd, nullptr), 0u);
    ASSERT_EQ(pfdisplaysetcooperativelevel(dd, w, PF_SCL_FULLSCREEN | PF_SCL_EXCLUSIVE), 0u);
    EXPECT_EQ(pfdisplaysetmode(dd, 20, 10, 24), PFERR_UNSUPPORTEDMODE);
    EXPECT_EQ(pfdisplaysetmode(dd, 20, 10, 32), PFERR_UNSUPPORTEDMODE);
    // The primary then has the desktop's size and depth, and so do new off-screen surfaces.
    pfsurface* primary = makesurface(dd, true);
    pfsurface* shad = makesurface(dd, false, 20, 10);
    pfsurfacedesc d{};
    ASSERT_EQ(pfsurfacelock(primary, nullptr, &d, 0, nullptr), 0u);
    EXPECT_EQ(d.width * 1000 + d.height, 40 * 1000 + 30);
    EXPECT_EQ(d.format.bitcount, 32u);
    ASSERT_EQ(pfsurfacelock(shad, nullptr, &d, 0, nullptr), 0u);
    EXPECT_EQ(d.format.bitcount, 32u);
    EXPECT_EQ(d.pitch, 80);
}

// A whole program run: pfrun, a frame loop that quits on Q, scripted keys, every frame observed.
TEST(PlatformHeadless, DrivesAndObservesAWholeRun) {
    setenv("VOXDA_DISPLAY", "headless", 1);
    setenv("VOXDA_SCREEN", "8x4", 1);
    setenv("VOXDA_KEYS", "X@2-3 Q@4", 1);
    static std::vector<int> shownx;  // first pixel of each presented frame
    char arg0[] = "prog";
    char* argv[] = {arg0, nullptr};
    int status = pfrun(1, argv, [](pfinstance* instance, pfinstance*, const char*, int) {
        pfheadlessonpresent([](const pfframe& f) { shownx.push_back(f.pixels[0]); });
        pfwindowclass c{};
        c.proc = pfdefwindowproc;
        c.instance = instance;
        c.classname = "prog";
        pfregisterclass(&c);
        pfwindow* w =
            pfcreatewindow(0, "prog", "prog", PF_WS_VISIBLE, 0, 0, 8, 4, nullptr, nullptr, instance, nullptr);
        pfdisplay* dd = nullptr;
        pfdisplaycreate(nullptr, &dd, nullptr);
        pfdisplaysetcooperativelevel(dd, w, 0x53);
        pfdisplaysetmode(dd, pfgetsystemmetrics(PF_SM_CXSCREEN), pfgetsystemmetrics(PF_SM_CYSCREEN), 8);
        pfsurfacedesc pd{PF_SD_CAPS, 0, 0, 0, nullptr, {}, PF_CAPS_PRIMARYSURFACE};
        pfsurface* primary = nullptr;
        pfdisplaycreatesurface(dd, &pd, &primary, nullptr);
        uint8_t keys[256] = {};
        int frames = 0;
        while (!(keys['Q'] & 0x80) && frames < 100) {
            // Draw: the first pixel says whether X was down in the last key state.
            pfsurfacedesc d{};
            pfsurfacelock(primary, nullptr, &d, 0, nullptr);
            static_cast<uint8_t*>(d.surface)[0] = (keys['X'] & 0x80) ? 1 : 0;
            pfsurfaceunlock(primary, nullptr);
            ++frames;
            pfgetkeyboardstate(keys);
            pfmessage m;
            while (pfpeekmessage(&m, nullptr, 0, 0, PF_PM_REMOVE)) pfdispatchmessage(&m);
        }
        return frames;
    });
    for (const char* name : {"VOXDA_DISPLAY", "VOXDA_SCREEN", "VOXDA_KEYS"}) unsetenv(name);
    // Pumps 1..5 follow frames 1..5; X shows at pumps 3 and 4, Q at pump 5.
    EXPECT_EQ(status, 5);
    EXPECT_EQ(shownx, (std::vector<int>{0, 0, 0, 1, 1}));
}

TEST(PlatformHeadless, AnyMinimiseComesBackAfterTheAutoRestoreTime) {
    const struct {
        int autorestore;
        int sleptms;
        bool iconic;
    } cases[] = {{100, 99, true}, {100, 100, false}, {5, 30, false}, {-1, 100000, true}};
    for (const auto& c : cases) {
        pfwindow* w = openwindow();
        pfheadlesssetautorestore(c.autorestore);
        ASSERT_EQ(pfclosewindow(w), 1);  // as the pump does for the Windows key
        EXPECT_EQ(pfisiconic(w), 1);
        pfsleep(static_cast<uint32_t>(c.sleptms));
        pfmessage m;
        while (pfpeekmessage(&m, nullptr, 0, 0, PF_PM_REMOVE)) {
        }
        EXPECT_EQ(pfisiconic(w), c.iconic ? 1 : 0) << c.autorestore << " " << c.sleptms;
    }
}
