// DirectInput's keyboard of our layer where only our layer can be checked
// (the argument checks and reference counts run against both in
// conformance/module_test.cpp): the device's state following the key
// messages the thread has retrieved, the foreground device losing the
// keyboard with the front, and the thread's key state that the keyboard
// library translates typed keys with.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/posix/headless.h"
#include "platform/win32.h"

namespace {

LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(window, message, wParam, lParam);
}

void Pump() {
  MSG m;
  while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&m);
    DispatchMessageA(&m);
  }
}

class DirectInputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSA wc{};
    wc.lpfnWndProc = Proc;
    wc.lpszClassName = "KelpieDirectInputTest";
    RegisterClassA(&wc);
    window_ = CreateWindowExA(0, "KelpieDirectInputTest", "keys", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                              0, 0, 200, 100, nullptr, nullptr, nullptr, nullptr);
    SetForegroundWindow(window_);
    ASSERT_EQ(DirectInputCreateEx(GetModuleHandleA(nullptr), 0x0700, IID_IDirectInput7A,
                                  reinterpret_cast<LPVOID*>(&di_), nullptr),
              DI_OK);
    ASSERT_EQ(di_->CreateDeviceEx(GUID_SysKeyboard, IID_IDirectInputDevice7A,
                                  reinterpret_cast<LPVOID*>(&keyboard_), nullptr),
              DI_OK);
    // c_dfDIKeyboard as the keyboard library builds it, set and acquired as
    // that library does.
    for (DWORD i = 0; i < 256; ++i) {
      objects_[i] = {&GUID_Key, i,
                     static_cast<DWORD>(DIDFT_OPTIONAL | DIDFT_BUTTON | DIDFT_MAKEINSTANCE(i)), 0};
    }
    const DIDATAFORMAT format = {
        sizeof(DIDATAFORMAT), sizeof(DIOBJECTDATAFORMAT), DIDF_RELAXIS, 256, 256, objects_};
    ASSERT_EQ(keyboard_->SetDataFormat(&format), DI_OK);
    ASSERT_EQ(keyboard_->SetCooperativeLevel(
                  nullptr, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND | DISCL_NOWINKEY),
              DI_OK);
    ASSERT_EQ(keyboard_->Acquire(), DI_OK);
  }
  void TearDown() override {
    keyboard_->Release();
    di_->Release();
    DestroyWindow(window_);
    Pump();
  }

  std::vector<BYTE> State() {
    std::vector<BYTE> state(256, 0x55);
    EXPECT_EQ(keyboard_->GetDeviceState(256, state.data()), DI_OK);
    return state;
  }

  HWND window_ = nullptr;
  IDirectInput7A* di_ = nullptr;
  IDirectInputDevice7A* keyboard_ = nullptr;
  DIOBJECTDATAFORMAT objects_[256];
};

// The keyboard library polls again after a failure: it must find the
// keyboard gone while another program is in front, and back with its window.
TEST_F(DirectInputTest, ForegroundDeviceLosesTheKeyboardWithTheFront) {
  HeadlessActivate(nullptr);  // another program comes to the front
  BYTE state[256];
  EXPECT_EQ(keyboard_->GetDeviceState(256, state), DIERR_INPUTLOST);
  EXPECT_EQ(keyboard_->GetDeviceState(256, state), DIERR_NOTACQUIRED);
  EXPECT_EQ(keyboard_->Acquire(), DIERR_OTHERAPPHASPRIO);
  HeadlessActivate(window_);
  EXPECT_EQ(keyboard_->Acquire(), DI_OK);
  EXPECT_EQ(keyboard_->GetDeviceState(256, state), DI_OK);
}

TEST_F(DirectInputTest, StateFollowsTheKeyMessagesTheThreadRetrieved) {
  SetFocus(window_);
  HeadlessKeyDown(DIK_SPACE);
  EXPECT_EQ(State()[DIK_SPACE], 0) << "posted, not yet retrieved";
  MSG m;
  ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(State()[DIK_SPACE], 0) << "looked at, still queued";
  ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.message, static_cast<UINT>(WM_KEYDOWN));
  std::vector<BYTE> state = State();
  EXPECT_EQ(state[DIK_SPACE], 0x80);
  state[DIK_SPACE] = 0;
  EXPECT_EQ(state, std::vector<BYTE>(256, 0));  // every other byte written, as up

  HeadlessKeyUp(DIK_SPACE);
  EXPECT_EQ(State()[DIK_SPACE], 0x80);
  Pump();
  EXPECT_EQ(State()[DIK_SPACE], 0);

  // Keys with an E0 prefix have 0x80 added to their code.
  for (UINT key : {DIK_NUMPADENTER, DIK_DIVIDE, DIK_RCONTROL, DIK_UP}) {
    HeadlessKeyDown(key);
    Pump();
    state = State();
    EXPECT_EQ(state[key], 0x80) << key;
    EXPECT_EQ(state[key & 0x7F], 0) << key;
    HeadlessKeyUp(key);
    Pump();
  }
  // A key that no window takes still moves the state once retrieved.
  EnableWindow(window_, FALSE);
  HeadlessKeyDown(DIK_A);
  Pump();
  EnableWindow(window_, TRUE);
  EXPECT_EQ(State()[DIK_A], 0x80);
  HeadlessKeyUp(DIK_A);
  Pump();
}

// The keyboard library turns a released key into its character from the
// scan code and the thread's key state, as retrieved key messages left it.
TEST_F(DirectInputTest, RetrievedKeysSetTheStateThatTypedKeysTranslateWith) {
  auto typed = [](UINT scanCode) {
    HKL layout = GetKeyboardLayout(0);
    BYTE keys[256];
    GetKeyboardState(keys);
    WORD c = 0;
    const UINT vk = MapVirtualKeyExA(scanCode, MAPVK_VSC_TO_VK, layout);
    return ToAsciiEx(vk, scanCode, keys, &c, 0, layout) == 1 ? std::string(1, static_cast<char>(c))
                                                             : std::string();
  };
  SetFocus(window_);
  EXPECT_EQ(typed(DIK_A), "a");
  HeadlessKeyPress(DIK_CAPITAL);
  Pump();
  ASSERT_EQ(GetKeyState(VK_CAPITAL) & 1, 1);
  EXPECT_EQ(typed(DIK_A), "A");
  EXPECT_EQ(typed(DIK_1), "1");
  HeadlessKeyDown(DIK_LSHIFT);
  Pump();
  EXPECT_EQ(typed(DIK_A), "a");  // Shift and Caps Lock cancel out for letters only
  EXPECT_EQ(typed(DIK_1), "!");
  HeadlessKeyUp(DIK_LSHIFT);
  HeadlessKeyPress(DIK_CAPITAL);
  Pump();
  EXPECT_EQ(GetKeyState(VK_CAPITAL) & 1, 0);
  EXPECT_EQ(typed(DIK_A), "a");
}

}  // namespace
