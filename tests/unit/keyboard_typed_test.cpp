// Typed text from keyboard polling, with keys injected by scan code on the
// headless display: a key yields its character once, at the first poll that
// finds it up after a poll found it down; in scan-code order; translated with
// the modifier state of that moment; keypad digits always; Enter and
// Backspace never.

#include <gtest/gtest.h>

#include <string>

#include "platform/posix/headless.h"
#include "tests/support/runtime_fixture.h"
#include "toolkit/input/keyboard.h"

namespace {

class KeyboardTypedTest : public ::testing::Test {
 protected:
  void SetUp() override {
    StartBaseServices();
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "KelpieKeyboardTest";
    RegisterClassA(&wc);
    window_ = CreateWindowExA(0, "KelpieKeyboardTest", "keys", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0,
                              0, 200, 100, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(window_, nullptr);
    SetForegroundWindow(window_);
    SetFocus(window_);
    ASSERT_EQ(KeyboardStart(), 1);
  }
  void TearDown() override {
    KeyboardLibraryEnd();
    DestroyWindow(window_);
  }

  // The thread retrieves what the display reported, as the event loop does.
  static void Pump() {
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&m);
      DispatchMessageA(&m);
    }
  }
  static void Down(UINT scanCode) {
    HeadlessKeyDown(scanCode);
    Pump();
  }
  static void Up(UINT scanCode) {
    HeadlessKeyUp(scanCode);
    Pump();
  }
  static std::string Typed() {
    return TakeResult([](intptr_t start) { KeyboardTypedChar(start); });
  }
  // One loop turn of the viewer: start, poll, read the typed text.
  static std::string Turn() {
    EXPECT_NE(KeyboardStart(), 0);
    EXPECT_EQ(KeyboardPoll(), 1);
    return Typed();
  }
  // A key pressed with a turn while it is down and one after it is up.
  static std::string Press(UINT scanCode) {
    Down(scanCode);
    const std::string whileDown = Turn();
    EXPECT_EQ(whileDown, "") << "scan code " << scanCode << " while down";
    Up(scanCode);
    return Turn();
  }

  HWND window_ = nullptr;
};

TEST_F(KeyboardTypedTest, NothingBeforeTheFirstPollOrForAKeyNoPollSawDown) {
  Down(DIK_SPACE);
  EXPECT_EQ(Typed(), "");  // made, not acquired
  Up(DIK_SPACE);
  EXPECT_EQ(Typed(), "");
  EXPECT_EQ(Turn(), "");
  Down(DIK_SPACE);  // pressed and released between polls
  Up(DIK_SPACE);
  EXPECT_EQ(Turn(), "");
  EXPECT_EQ(Turn(), "");
}

TEST_F(KeyboardTypedTest, ReleasedKeyYieldsItsCharacterOnceAndAHeldOneRepeatsNothing) {
  EXPECT_EQ(Press(DIK_SPACE), " ");
  EXPECT_EQ(Turn(), "");
  EXPECT_EQ(Press(DIK_SPACE), " ");  // the next press counts again
  Down(DIK_SPACE);
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(Turn(), "") << "turn " << i;
  }
  Up(DIK_SPACE);
  EXPECT_EQ(Turn(), " ");
  EXPECT_EQ(Turn(), "");
}

// While another program is in front the device is lost; with the window back
// in front the next poll acquires it again, and a key held down across the
// loss counts at its release.
TEST_F(KeyboardTypedTest, KeyboardComesBackWithTheWindowAfterAFocusSwitch) {
  Down(DIK_A);
  EXPECT_EQ(Turn(), "");
  HeadlessActivate(nullptr);
  EXPECT_NE(KeyboardStart(), 0);
  EXPECT_EQ(KeyboardPoll(), 0);
  EXPECT_EQ(Typed(), "");
  HeadlessActivate(window_);
  SetFocus(window_);
  Up(DIK_A);
  EXPECT_EQ(Turn(), "a");
  EXPECT_EQ(Press(DIK_SPACE), " ");
}

TEST_F(KeyboardTypedTest, KeysReleasedTogetherComeInScanCodeOrder) {
  // Whichever went down or up first: 0x1E comes before 0x39.
  for (const UINT first : {DIK_SPACE, DIK_A}) {
    const UINT second = first == DIK_SPACE ? DIK_A : DIK_SPACE;
    Down(first);
    Down(second);
    EXPECT_EQ(Turn(), "");
    Up(first);
    Up(second);
    EXPECT_EQ(Turn(), "a ");
  }
}

TEST_F(KeyboardTypedTest, ModifiersAreTheThreadsAtTranslation) {
  // Shift still held when the letter is translated.
  Down(DIK_LSHIFT);
  Down(DIK_A);
  EXPECT_EQ(Turn(), "");
  Up(DIK_A);
  EXPECT_EQ(Turn(), "A");
  Up(DIK_LSHIFT);
  EXPECT_EQ(Turn(), "");  // Shift itself yields nothing

  // Both seen down in one poll, both up by the next: Shift is up by then.
  Down(DIK_LSHIFT);
  Down(DIK_A);
  EXPECT_EQ(Turn(), "");
  Up(DIK_A);
  Up(DIK_LSHIFT);
  EXPECT_EQ(Turn(), "a");

  // Control characters stay in the text.
  Down(DIK_LCONTROL);
  Down(DIK_A);
  EXPECT_EQ(Turn(), "");
  Up(DIK_A);
  EXPECT_EQ(Turn(), "\x01");
  Up(DIK_LCONTROL);
  EXPECT_EQ(Turn(), "");
}

TEST_F(KeyboardTypedTest, KeypadGivesDigitsWhateverNumLock) {
  struct Key {
    UINT scanCode;
    const char* text;
  };
  const Key keypad[] = {{DIK_NUMPAD7, "7"}, {DIK_NUMPAD8, "8"}, {DIK_NUMPAD9, "9"},
                        {DIK_NUMPAD4, "4"}, {DIK_NUMPAD5, "5"}, {DIK_NUMPAD6, "6"},
                        {DIK_NUMPAD1, "1"}, {DIK_NUMPAD2, "2"}, {DIK_NUMPAD3, "3"},
                        {DIK_NUMPAD0, "0"}, {DIK_DECIMAL, "."}, {DIK_DIVIDE, "/"}};
  for (int numLockPresses = 0; numLockPresses < 2; ++numLockPresses) {
    for (const Key& key : keypad) {
      EXPECT_EQ(Press(key.scanCode), key.text)
          << "scan code " << key.scanCode << ", Num Lock pressed " << numLockPresses << " times";
    }
    EXPECT_EQ(Press(DIK_NUMLOCK), "");
  }
  // Not in the keypad table: through the layout like other keys.
  EXPECT_EQ(Press(DIK_SUBTRACT), "-");
  EXPECT_EQ(Press(DIK_ADD), "+");
  EXPECT_EQ(Press(DIK_MULTIPLY), "*");
}

TEST_F(KeyboardTypedTest, EnterAndBackspaceGiveNothing) {
  EXPECT_EQ(Press(DIK_RETURN), "");
  EXPECT_EQ(Press(DIK_NUMPADENTER), "");
  EXPECT_EQ(Press(DIK_BACK), "");
  // Released together with a letter, they leave the letter alone.
  Down(DIK_RETURN);
  Down(DIK_B);
  Down(DIK_BACK);
  EXPECT_EQ(Turn(), "");
  Up(DIK_RETURN);
  Up(DIK_B);
  Up(DIK_BACK);
  EXPECT_EQ(Turn(), "b");
}

}  // namespace
