// DirectInput of our layer: DINPUT.DLL loaded, looked up and freed by
// reference count; the DirectInput object and keyboard device with the
// argument checks, acquisition rules and reference counts DirectInput
// documents; the device's state following the key messages the thread has
// retrieved; and the US layout's keypad with Num Lock, Shift and Caps Lock.

#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "platform/posix/headless.h"
#include "platform/win32.h"

namespace {

constexpr GUID kSysMouse = {
    0x6F1D2B60, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
constexpr GUID kIidDirectInputA = {
    0x89521360, 0xAA8A, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
constexpr GUID kIidDirectInputDeviceA = {
    0x5944E680, 0xC92E, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
constexpr GUID kIidDirectInput8A = {
    0xBF798030, 0x483A, 0x4DA2, {0xAA, 0x99, 0x5D, 0x64, 0xED, 0x36, 0x97, 0x00}};

// c_dfDIKeyboard as a program builds it.
struct KeyboardFormat {
  DIOBJECTDATAFORMAT objects[256];
  DIDATAFORMAT format;
  KeyboardFormat() {
    for (DWORD i = 0; i < 256; ++i) {
      objects[i] = {&GUID_Key, i,
                    static_cast<DWORD>(DIDFT_OPTIONAL | DIDFT_BUTTON | DIDFT_MAKEINSTANCE(i)), 0};
    }
    format = {sizeof(DIDATAFORMAT), sizeof(DIOBJECTDATAFORMAT), DIDF_RELAXIS, 256, 256, objects};
  }
};

LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(window, message, wParam, lParam);
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
  }
  void TearDown() override {
    if (keyboard_ != nullptr) {
      keyboard_->Release();
    }
    if (di_ != nullptr) {
      di_->Release();
    }
    DestroyWindow(window_);
    Pump();
  }

  static void Pump() {
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&m);
      DispatchMessageA(&m);
    }
  }

  // Format set and acquired as the keyboard library does it.
  void Ready() {
    ASSERT_EQ(keyboard_->SetDataFormat(&format_.format), DI_OK);
    ASSERT_EQ(keyboard_->SetCooperativeLevel(
                  nullptr, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND | DISCL_NOWINKEY),
              DI_OK);
    ASSERT_EQ(keyboard_->Acquire(), DI_OK);
  }

  std::vector<BYTE> State() {
    std::vector<BYTE> state(256, 0x55);
    EXPECT_EQ(keyboard_->GetDeviceState(256, state.data()), DI_OK);
    return state;
  }

  HWND window_ = nullptr;
  IDirectInput7A* di_ = nullptr;
  IDirectInputDevice7A* keyboard_ = nullptr;
  KeyboardFormat format_;
};

// ---------------------------------------------------------------------------
// DINPUT.DLL

TEST(DirectInputModuleTest, LoadsAreCountedUntilTheLastFree) {
  EXPECT_EQ(GetModuleHandleA("DINPUT.DLL"), nullptr);
  HMODULE first = LoadLibraryA("DINPUT.DLL");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(LoadLibraryA("dinput.dll"), first);  // names without regard to case
  EXPECT_EQ(LoadLibraryA("DInput"), first);      // ".dll" understood
  EXPECT_NE(first, GetModuleHandleA(nullptr));
  EXPECT_EQ(GetModuleHandleA("Dinput.Dll"), first);
  EXPECT_TRUE(FreeLibrary(first));
  EXPECT_TRUE(FreeLibrary(first));
  EXPECT_EQ(GetModuleHandleA("DINPUT.DLL"), first);  // one load left
  EXPECT_NE(GetProcAddress(first, "DirectInputCreateEx"), nullptr);
  EXPECT_TRUE(FreeLibrary(first));

  SetLastError(0);
  EXPECT_EQ(GetModuleHandleA("DINPUT.DLL"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
  SetLastError(0);
  EXPECT_EQ(GetProcAddress(first, "DirectInputCreateEx"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
  EXPECT_FALSE(FreeLibrary(first));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
}

TEST(DirectInputModuleTest, OnlyItsOneEntryAndNoOtherModule) {
  for (const char* name : {"USER32.DLL", "dinput8.dll", "dinput.", "dinput.dll.dll",
                           "/usr/lib/dinput.dll", "C:\\Windows\\System32\\dinput.dll", ""}) {
    SetLastError(0);
    EXPECT_EQ(LoadLibraryA(name), nullptr) << name;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND)) << name;
  }
  HMODULE module = LoadLibraryA("DINPUT.DLL");
  ASSERT_NE(module, nullptr);
  const FARPROC entry = GetProcAddress(module, "DirectInputCreateEx");
  EXPECT_EQ(entry, reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(&DirectInputCreateEx)));
  for (const char* name : {"DirectInputCreateA", "directinputcreateex", "DirectInputCreateEx "}) {
    SetLastError(0);
    EXPECT_EQ(GetProcAddress(module, name), nullptr) << name;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND)) << name;
  }
  EXPECT_EQ(GetProcAddress(module, MAKEINTRESOURCEA(1)), nullptr);  // no ordinals
  EXPECT_EQ(GetProcAddress(GetModuleHandleA(nullptr), "DirectInputCreateEx"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
  EXPECT_TRUE(FreeLibrary(module));
}

// ---------------------------------------------------------------------------
// The DirectInput object

TEST(DirectInputCreateTest, ArgumentsAreChecked) {
  HINSTANCE self = GetModuleHandleA(nullptr);
  void* out = &out;
  EXPECT_EQ(DirectInputCreateEx(self, 0x0800, IID_IDirectInput7A, &out, nullptr),
            DIERR_OLDDIRECTINPUTVERSION);
  EXPECT_EQ(out, nullptr);  // cleared whatever the failure
  EXPECT_EQ(DirectInputCreateEx(self, 0x0200, IID_IDirectInput7A, &out, nullptr),
            DIERR_BETADIRECTINPUTVERSION);
  EXPECT_EQ(DirectInputCreateEx(self, 0, IID_IDirectInput7A, &out, nullptr), DIERR_NOTINITIALIZED);
  EXPECT_EQ(DirectInputCreateEx(self, 0x0700, kIidDirectInput8A, &out, nullptr), DIERR_NOINTERFACE);
  EXPECT_EQ(DirectInputCreateEx(self, 0x0700, IID_IDirectInputDevice7A, &out, nullptr),
            DIERR_NOINTERFACE);
  IUnknown* outer = nullptr;
  EXPECT_EQ(DirectInputCreateEx(self, 0x0700, IID_IDirectInput7A, &out,
                                reinterpret_cast<LPUNKNOWN>(&outer)),
            DIERR_NOAGGREGATION);
  EXPECT_EQ(DirectInputCreateEx(nullptr, 0x0700, IID_IDirectInput7A, &out, nullptr),
            DIERR_INVALIDPARAM);
  EXPECT_EQ(DirectInputCreateEx(self, 0x0700, IID_IDirectInput7A, nullptr, nullptr),
            DIERR_INVALIDPARAM);
  EXPECT_EQ(out, nullptr);
  // Older interfaces of the same object, and older versions, are served too.
  ASSERT_EQ(DirectInputCreateEx(self, 0x0500, kIidDirectInputA, &out, nullptr), DI_OK);
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(static_cast<IDirectInputA*>(out)->Release(), 0u);
}

TEST_F(DirectInputTest, ReferencesAreCountedAndADeviceKeepsItsObject) {
  EXPECT_EQ(di_->AddRef(), 3u);  // ours, the device's, and this one
  EXPECT_EQ(di_->Release(), 2u);

  void* same = nullptr;
  EXPECT_EQ(di_->QueryInterface(kIidDirectInputA, &same), S_OK);
  EXPECT_EQ(same, static_cast<void*>(di_));
  EXPECT_EQ(di_->Release(), 2u);  // the device's reference and ours
  same = &same;
  EXPECT_EQ(di_->QueryInterface(kIidDirectInput8A, &same), E_NOINTERFACE);
  EXPECT_EQ(same, nullptr);

  EXPECT_EQ(keyboard_->QueryInterface(kIidDirectInputDeviceA, &same), S_OK);
  EXPECT_EQ(same, static_cast<void*>(keyboard_));
  EXPECT_EQ(keyboard_->Release(), 1u);
  EXPECT_EQ(keyboard_->QueryInterface(IID_IDirectInput7A, &same), E_NOINTERFACE);

  // Released first, the object lives on in the device (the sanitizer build
  // would see it used after being freed otherwise).
  EXPECT_EQ(di_->Release(), 1u);
  di_ = nullptr;
  EXPECT_EQ(keyboard_->Acquire(), DIERR_INVALIDPARAM);  // still a working device
  EXPECT_EQ(keyboard_->Release(), 0u);
  keyboard_ = nullptr;
}

TEST_F(DirectInputTest, OnlyTheSystemKeyboardIsThere) {
  void* device = &device;
  EXPECT_EQ(di_->CreateDeviceEx(kSysMouse, IID_IDirectInputDevice7A, &device, nullptr),
            DIERR_DEVICENOTREG);
  EXPECT_EQ(device, nullptr);
  EXPECT_EQ(di_->CreateDeviceEx(GUID_SysKeyboard, IID_IDirectInput7A, &device, nullptr),
            DIERR_NOINTERFACE);
  EXPECT_EQ(di_->GetDeviceStatus(GUID_SysKeyboard), DI_OK);
  EXPECT_EQ(di_->GetDeviceStatus(kSysMouse), DIERR_DEVICENOTREG);
  // The old CreateDevice makes the same keyboard.
  LPDIRECTINPUTDEVICEA old = nullptr;
  ASSERT_EQ(di_->CreateDevice(GUID_SysKeyboard, &old, nullptr), DI_OK);
  EXPECT_EQ(old->SetDataFormat(&format_.format), DI_OK);
  EXPECT_EQ(old->Release(), 0u);
}

// ---------------------------------------------------------------------------
// The keyboard device

TEST_F(DirectInputTest, OnlyTheStandardKeyboardFormatIsTaken) {
  using Change = void (*)(KeyboardFormat*);
  const Change changes[] = {
      [](KeyboardFormat* f) { f->format.dwSize += 4; },
      [](KeyboardFormat* f) { f->format.dwObjSize -= 4; },
      [](KeyboardFormat* f) { f->format.dwDataSize = 255; },
      [](KeyboardFormat* f) { f->format.dwNumObjs = 255; },
      [](KeyboardFormat* f) { f->format.dwFlags = DIDF_ABSAXIS | DIDF_RELAXIS; },
      [](KeyboardFormat* f) { f->format.rgodf = nullptr; },
      [](KeyboardFormat* f) { f->objects[0x39].dwOfs = 0x38; },
      [](KeyboardFormat* f) { f->objects[0x39].dwType &= ~static_cast<DWORD>(DIDFT_OPTIONAL); },
      [](KeyboardFormat* f) { f->objects[0x39].dwType = DIDFT_BUTTON | DIDFT_MAKEINSTANCE(0x3A); },
      [](KeyboardFormat* f) { f->objects[0xFF].pguid = &GUID_SysKeyboard; },
      [](KeyboardFormat* f) { f->objects[0].dwFlags = 1; },
  };
  for (size_t i = 0; i < std::size(changes); ++i) {
    KeyboardFormat wrong;
    changes[i](&wrong);
    EXPECT_EQ(keyboard_->SetDataFormat(&wrong.format), DIERR_INVALIDPARAM) << "change " << i;
  }
  EXPECT_EQ(keyboard_->SetDataFormat(nullptr), E_POINTER);
  EXPECT_EQ(keyboard_->Acquire(), DIERR_INVALIDPARAM);  // no format yet

  KeyboardFormat anyKey;  // objects without a type GUID, absolute axes: the same keys
  anyKey.format.dwFlags = DIDF_ABSAXIS;
  for (DIOBJECTDATAFORMAT& o : anyKey.objects) {
    o.pguid = nullptr;
  }
  EXPECT_EQ(keyboard_->SetDataFormat(&anyKey.format), DI_OK);
  EXPECT_EQ(keyboard_->Acquire(), DI_OK);
  EXPECT_EQ(keyboard_->SetDataFormat(&format_.format), DIERR_ACQUIRED);
}

TEST_F(DirectInputTest, CooperativeLevelsAreOneOfEachPair) {
  const DWORD both = DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE | DISCL_FOREGROUND;
  EXPECT_EQ(keyboard_->SetCooperativeLevel(nullptr, both), DIERR_INVALIDPARAM);
  EXPECT_EQ(keyboard_->SetCooperativeLevel(nullptr, DISCL_NONEXCLUSIVE), DIERR_INVALIDPARAM);
  EXPECT_EQ(keyboard_->SetCooperativeLevel(nullptr, DISCL_FOREGROUND), DIERR_INVALIDPARAM);
  EXPECT_EQ(keyboard_->SetCooperativeLevel(nullptr, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND | 0x100),
            DIERR_INVALIDPARAM);
  EXPECT_EQ(keyboard_->SetCooperativeLevel(nullptr, DISCL_EXCLUSIVE | DISCL_FOREGROUND),
            E_HANDLE);  // exclusive needs a window
  EXPECT_EQ(keyboard_->SetCooperativeLevel(window_, DISCL_EXCLUSIVE | DISCL_BACKGROUND), E_NOTIMPL);
  HWND child = CreateWindowExA(0, "KelpieDirectInputTest", nullptr, WS_CHILD, 0, 0, 5, 5, window_,
                               nullptr, nullptr, nullptr);
  EXPECT_EQ(keyboard_->SetCooperativeLevel(child, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND), E_HANDLE);
  EXPECT_EQ(keyboard_->SetCooperativeLevel(window_, DISCL_EXCLUSIVE | DISCL_FOREGROUND), DI_OK);
  Ready();
  EXPECT_EQ(keyboard_->SetCooperativeLevel(nullptr, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND),
            DIERR_ACQUIRED);
}

TEST_F(DirectInputTest, StateIsOnlyForAnAcquiredDevice) {
  BYTE state[256];
  EXPECT_EQ(keyboard_->GetDeviceState(256, state), DIERR_NOTACQUIRED);
  EXPECT_EQ(keyboard_->Poll(), DIERR_NOTACQUIRED);
  Ready();
  EXPECT_EQ(keyboard_->Acquire(), DI_NOEFFECT);  // already
  EXPECT_EQ(keyboard_->GetDeviceState(256, state), DI_OK);
  EXPECT_EQ(keyboard_->GetDeviceState(255, state), DIERR_INVALIDPARAM);
  EXPECT_EQ(keyboard_->GetDeviceState(256, nullptr), DIERR_INVALIDPARAM);
  EXPECT_EQ(keyboard_->Poll(), DI_NOEFFECT);  // a keyboard needs no polling
  EXPECT_EQ(keyboard_->Unacquire(), DI_OK);
  EXPECT_EQ(keyboard_->Unacquire(), DI_NOEFFECT);
  EXPECT_EQ(keyboard_->GetDeviceState(256, state), DIERR_NOTACQUIRED);
  EXPECT_EQ(keyboard_->Acquire(), DI_OK);
  EXPECT_EQ(keyboard_->GetDeviceState(256, state), DI_OK);
}

TEST_F(DirectInputTest, ForegroundDeviceLosesTheKeyboardWithTheFront) {
  Ready();
  HeadlessActivate(nullptr);  // another program comes to the front
  BYTE state[256];
  EXPECT_EQ(keyboard_->GetDeviceState(256, state), DIERR_INPUTLOST);
  EXPECT_EQ(keyboard_->GetDeviceState(256, state), DIERR_NOTACQUIRED);
  EXPECT_EQ(keyboard_->Acquire(), DIERR_OTHERAPPHASPRIO);
  HeadlessActivate(window_);
  EXPECT_EQ(keyboard_->Acquire(), DI_OK);
  EXPECT_EQ(keyboard_->GetDeviceState(256, state), DI_OK);

  // A background device keeps it; one tied to a window follows that window.
  ASSERT_EQ(keyboard_->Unacquire(), DI_OK);
  ASSERT_EQ(keyboard_->SetCooperativeLevel(nullptr, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND), DI_OK);
  ASSERT_EQ(keyboard_->Acquire(), DI_OK);
  HeadlessActivate(nullptr);
  EXPECT_EQ(keyboard_->GetDeviceState(256, state), DI_OK);
  ASSERT_EQ(keyboard_->Unacquire(), DI_OK);
  ASSERT_EQ(keyboard_->SetCooperativeLevel(window_, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND), DI_OK);
  EXPECT_EQ(keyboard_->Acquire(), DIERR_OTHERAPPHASPRIO);
  HeadlessActivate(window_);
  EXPECT_EQ(keyboard_->Acquire(), DI_OK);
}

TEST_F(DirectInputTest, StateFollowsTheKeyMessagesTheThreadRetrieved) {
  Ready();
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

// Called through the table as C code calls COM objects (lpVtbl->Method),
// slot by slot in DirectInput 7's order.
TEST_F(DirectInputTest, MethodTablesAreDirectInput7s) {
  using Release = ULONG (*)(void*);
  using CreateDeviceEx = HRESULT (*)(void*, REFGUID, REFIID, LPVOID*, LPUNKNOWN);
  using GetDeviceStatus = HRESULT (*)(void*, REFGUID);
  using NoArguments = HRESULT (*)(void*);
  using GetDeviceState = HRESULT (*)(void*, DWORD, LPVOID);
  using SetDataFormat = HRESULT (*)(void*, LPCDIDATAFORMAT);
  using SetCooperativeLevel = HRESULT (*)(void*, HWND, DWORD);
  using WriteEffectToFile = HRESULT (*)(void*, LPCSTR, DWORD, LPDIFILEEFFECT, DWORD);
  auto slot = [](void* object, int index) { return (*static_cast<void***>(object))[index]; };

  // IUnknown 0-2, IDirectInputA 3-7, IDirectInput2A 8, IDirectInput7A 9.
  EXPECT_EQ(reinterpret_cast<GetDeviceStatus>(slot(di_, 5))(di_, kSysMouse), DIERR_DEVICENOTREG);
  void* device = nullptr;
  ASSERT_EQ(reinterpret_cast<CreateDeviceEx>(slot(di_, 9))(
                di_, GUID_SysKeyboard, IID_IDirectInputDevice7A, &device, nullptr),
            DI_OK);
  // IUnknown 0-2, IDirectInputDeviceA 3-17, IDirectInputDevice2A 18-26, 7A 27-28.
  EXPECT_EQ(reinterpret_cast<SetDataFormat>(slot(device, 11))(device, &format_.format), DI_OK);
  EXPECT_EQ(reinterpret_cast<SetCooperativeLevel>(slot(device, 13))(
                device, nullptr, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND),
            DI_OK);
  EXPECT_EQ(reinterpret_cast<NoArguments>(slot(device, 7))(device), DI_OK);  // Acquire
  BYTE state[256];
  EXPECT_EQ(reinterpret_cast<GetDeviceState>(slot(device, 9))(device, 256, state), DI_OK);
  EXPECT_EQ(reinterpret_cast<NoArguments>(slot(device, 25))(device), DI_NOEFFECT);  // Poll
  EXPECT_EQ(reinterpret_cast<NoArguments>(slot(device, 8))(device), DI_OK);         // Unacquire
  EXPECT_EQ(reinterpret_cast<WriteEffectToFile>(slot(device, 28))(device, "x", 0, nullptr, 0),
            DIERR_UNSUPPORTED);
  EXPECT_EQ(reinterpret_cast<Release>(slot(device, 2))(device), 0u);
}

// ---------------------------------------------------------------------------
// The US layout's keypad, as the thread's messages give it

class KeypadTest : public DirectInputTest {
 protected:
  void TearDown() override {
    if ((GetKeyState(VK_NUMLOCK) & 1) != 0) {
      Press(DIK_NUMLOCK);
    }
    if ((GetKeyState(VK_CAPITAL) & 1) != 0) {
      Press(DIK_CAPITAL);
    }
    DirectInputTest::TearDown();
  }

  // The virtual key of the key's WM_KEYDOWN, and the characters it made.
  struct Typed {
    UINT vk = 0;
    std::string text;
  };
  Typed Press(UINT scanCode) {
    SetFocus(window_);
    HeadlessKeyPress(scanCode);
    Typed typed;
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
      const auto scan = static_cast<UINT>((m.lParam >> 16) & 0x7F);
      if (m.message == WM_KEYDOWN && scan == (scanCode & 0x7F)) {
        typed.vk = static_cast<UINT>(m.wParam);
      }
      if (m.message == WM_CHAR) {
        typed.text += static_cast<char>(m.wParam);
      }
      TranslateMessage(&m);
      DispatchMessageA(&m);
    }
    return typed;
  }
};

TEST_F(KeypadTest, DigitKeysMoveTheCursorWithNumLockOffAndTypeDigitsWithItOn) {
  struct Key {
    UINT scan;
    UINT off;  // the virtual key with Num Lock off
    UINT on;
    const char* digit;
  };
  const Key keys[] = {
      {DIK_NUMPAD7, VK_HOME, VK_NUMPAD7, "7"},   {DIK_NUMPAD8, VK_UP, VK_NUMPAD8, "8"},
      {DIK_NUMPAD9, VK_PRIOR, VK_NUMPAD9, "9"},  {DIK_NUMPAD4, VK_LEFT, VK_NUMPAD4, "4"},
      {DIK_NUMPAD5, VK_CLEAR, VK_NUMPAD5, "5"},  {DIK_NUMPAD6, VK_RIGHT, VK_NUMPAD6, "6"},
      {DIK_NUMPAD1, VK_END, VK_NUMPAD1, "1"},    {DIK_NUMPAD2, VK_DOWN, VK_NUMPAD2, "2"},
      {DIK_NUMPAD3, VK_NEXT, VK_NUMPAD3, "3"},   {DIK_NUMPAD0, VK_INSERT, VK_NUMPAD0, "0"},
      {DIK_DECIMAL, VK_DELETE, VK_DECIMAL, "."},
  };
  for (const Key& k : keys) {
    const Typed typed = Press(k.scan);
    EXPECT_EQ(typed.vk, k.off) << k.digit;
    EXPECT_EQ(typed.text, "") << k.digit;
  }
  Press(DIK_NUMLOCK);
  ASSERT_EQ(GetKeyState(VK_NUMLOCK) & 1, 1);
  for (const Key& k : keys) {
    const Typed typed = Press(k.scan);
    EXPECT_EQ(typed.vk, k.on) << k.digit;
    EXPECT_EQ(typed.text, k.digit);
  }
  // The scan code alone names the cursor key whatever Num Lock says.
  EXPECT_EQ(MapVirtualKeyExA(DIK_NUMPAD7, MAPVK_VSC_TO_VK, GetKeyboardLayout(0)),
            static_cast<UINT>(VK_HOME));
}

TEST_F(KeypadTest, OperatorKeysTypeAlwaysAndCapsLockTouchesOnlyLetters) {
  struct Key {
    UINT scan;
    UINT vk;
    const char* text;
  };
  const Key keys[] = {{DIK_DIVIDE, VK_DIVIDE, "/"},
                      {DIK_MULTIPLY, VK_MULTIPLY, "*"},
                      {DIK_SUBTRACT, VK_SUBTRACT, "-"},
                      {DIK_ADD, VK_ADD, "+"},
                      {DIK_NUMPADENTER, VK_RETURN, "\r"},
                      {DIK_A, 'A', "a"},
                      {DIK_1, '1', "1"}};
  for (int caps = 0; caps < 2; ++caps) {
    for (const Key& k : keys) {
      const Typed typed = Press(k.scan);
      EXPECT_EQ(typed.vk, k.vk) << k.text;
      const bool letter = k.scan == DIK_A;
      EXPECT_EQ(typed.text, caps != 0 && letter ? "A" : k.text) << "Caps Lock " << caps;
    }
    Press(DIK_CAPITAL);
  }
  // Shift and Caps Lock cancel out for letters only.
  Press(DIK_CAPITAL);
  HeadlessKeyDown(DIK_LSHIFT);
  EXPECT_EQ(Press(DIK_A).text, "a");
  EXPECT_EQ(Press(DIK_1).text, "!");
  HeadlessKeyUp(DIK_LSHIFT);
  Press(DIK_CAPITAL);
}

// With Num Lock on, Shift turns the keypad's digit keys back into cursor
// keys on Win32. Our layer gives the digit; nothing of the toolkit depends
// on it (keyboard polling maps the keypad by scan code).
TEST_F(KeypadTest, ShiftWithNumLockGivesTheCursorKey) {
  Press(DIK_NUMLOCK);
  HeadlessKeyDown(DIK_LSHIFT);
  const Typed typed = Press(DIK_NUMPAD7);
  HeadlessKeyUp(DIK_LSHIFT);
  Press(DIK_A);
  const bool asWin32 = typed.vk == VK_HOME && typed.text.empty();
  EXPECT_FALSE(asWin32) << "known gap now closed, remove its mark";
  EXPECT_EQ(typed.vk, static_cast<UINT>(VK_NUMPAD7));  // the gap as it stands
}

}  // namespace
