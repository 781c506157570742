// Modules, DirectInput's keyboard and the common dialogs' error word, as far
// as they can be checked with no user at the keyboard: the same source runs
// against our layer and against real Win32.

#include <gtest/gtest.h>

#include "platform/win32.h"
#include "toolkit/input/dinput_ids.h"

namespace {

using CreateEx = HRESULT(WINAPI*)(HINSTANCE, DWORD, REFIID, LPVOID*, LPUNKNOWN);

// CDERR_STRUCTSIZE: Windows declares the dialog errors in a header of their
// own, which the platform include leaves out.
constexpr DWORD kStructSizeError = 0x0001;

// The keyboard library loads DINPUT.DLL, looks up its one entry and frees it.
TEST(ModuleTest, LoadsAreCountedAndMissingNamesNotFound) {
  HMODULE first = LoadLibraryA("DINPUT.DLL");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(LoadLibraryA("dinput.dll"), first);
  EXPECT_EQ(GetModuleHandleA("DINPUT.DLL"), first);
  EXPECT_NE(GetProcAddress(first, "DirectInputCreateEx"), nullptr);
  SetLastError(0);
  EXPECT_EQ(GetProcAddress(first, "KelpieNoSuchEntry"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
  SetLastError(0);  // the program itself exports nothing
  EXPECT_EQ(GetProcAddress(GetModuleHandleA(nullptr), "DirectInputCreateEx"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
  EXPECT_TRUE(FreeLibrary(first));
  EXPECT_EQ(GetModuleHandleA("DINPUT.DLL"), first);  // one load left
  EXPECT_TRUE(FreeLibrary(first));
  EXPECT_EQ(GetModuleHandleA("DINPUT.DLL"), nullptr);
  SetLastError(0);
  EXPECT_FALSE(FreeLibrary(first));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
  // A trailing point keeps ".dll" from being added.
  for (const char* name : {"kelpie-no-such-module.dll", "dinput."}) {
    SetLastError(0);
    EXPECT_EQ(LoadLibraryA(name), nullptr) << name;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND)) << name;
  }
}

TEST(CommonDialogTest, NoErrorBeforeAnyDialogAndAWrongSizeShowsNone) {
  EXPECT_EQ(CommDlgExtendedError(), 0u);
  char file[260] = {};
  OPENFILENAMEA ofn{};
  ofn.lStructSize = 0;
  ofn.lpstrFile = file;
  ofn.nMaxFile = sizeof file;
  EXPECT_FALSE(GetOpenFileNameA(&ofn));
  EXPECT_EQ(CommDlgExtendedError(), kStructSizeError);
  ofn.lStructSize = sizeof ofn + 4;
  EXPECT_FALSE(GetSaveFileNameA(&ofn));
  EXPECT_EQ(CommDlgExtendedError(), kStructSizeError);
}

LRESULT CALLBACK PlainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(window, message, wParam, lParam);
}

// The keyboard as the toolkit drives it, in the background so that no
// window needs the user's focus.
TEST(DirectInputKeyboardTest, ArgumentsAcquisitionFormatAndReferences) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = PlainProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "KelpieConformanceKeyboard";
  RegisterClassA(&wc);
  HWND window = CreateWindowExA(0, wc.lpszClassName, "keys", WS_OVERLAPPEDWINDOW, 0, 0, 100, 80,
                                nullptr, nullptr, wc.hInstance, nullptr);
  ASSERT_NE(window, nullptr);

  HMODULE module = LoadLibraryA("DINPUT.DLL");
  ASSERT_NE(module, nullptr);
  const auto create = reinterpret_cast<CreateEx>(
      reinterpret_cast<void (*)()>(GetProcAddress(module, "DirectInputCreateEx")));
  ASSERT_NE(create, nullptr);
  HINSTANCE self = GetModuleHandleA(nullptr);
  void* out = nullptr;
  EXPECT_EQ(create(self, 0x0800, kIidDirectInput7A, &out, nullptr), DIERR_OLDDIRECTINPUTVERSION);
  EXPECT_EQ(create(self, 0x0200, kIidDirectInput7A, &out, nullptr), DIERR_BETADIRECTINPUTVERSION);
  EXPECT_EQ(create(self, 0, kIidDirectInput7A, &out, nullptr), DIERR_NOTINITIALIZED);
  EXPECT_EQ(create(nullptr, 0x0700, kIidDirectInput7A, &out, nullptr), DIERR_INVALIDPARAM);
  EXPECT_EQ(create(self, 0x0700, kIidDirectInputDevice7A, &out, nullptr), DIERR_NOINTERFACE);
  IDirectInput7A* di = nullptr;
  ASSERT_EQ(create(self, 0x0700, kIidDirectInput7A, reinterpret_cast<LPVOID*>(&di), nullptr),
            DI_OK);
  IDirectInputDevice7A* keyboard = nullptr;
  ASSERT_EQ(di->CreateDeviceEx(kGuidSysKeyboard, kIidDirectInputDevice7A,
                               reinterpret_cast<LPVOID*>(&keyboard), nullptr),
            DI_OK);

  BYTE state[256];
  EXPECT_EQ(keyboard->GetDeviceState(sizeof state, state), DIERR_NOTACQUIRED);
  EXPECT_EQ(keyboard->Acquire(), DIERR_INVALIDPARAM);  // no data format yet

  // One of each pair of levels; exclusive access only with a window, and
  // never in the background.
  EXPECT_EQ(keyboard->SetCooperativeLevel(window, DISCL_NONEXCLUSIVE), DIERR_INVALIDPARAM);
  EXPECT_EQ(keyboard->SetCooperativeLevel(window,
                                          DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE | DISCL_FOREGROUND),
            DIERR_INVALIDPARAM);
  EXPECT_EQ(keyboard->SetCooperativeLevel(window, DISCL_EXCLUSIVE | DISCL_BACKGROUND), E_NOTIMPL);
  EXPECT_EQ(keyboard->SetCooperativeLevel(nullptr, DISCL_EXCLUSIVE | DISCL_FOREGROUND), E_HANDLE);

  DIOBJECTDATAFORMAT objects[256];
  for (DWORD i = 0; i < 256; ++i) {
    objects[i] = {&kGuidKey, i,
                  static_cast<DWORD>(DIDFT_OPTIONAL | DIDFT_BUTTON | DIDFT_MAKEINSTANCE(i)), 0};
  }
  DIDATAFORMAT format = {
      sizeof(DIDATAFORMAT), sizeof(DIOBJECTDATAFORMAT), DIDF_RELAXIS, 256, 256, objects};
  DIDATAFORMAT wrong = format;
  wrong.dwObjSize = sizeof(DIOBJECTDATAFORMAT) + 4;
  EXPECT_EQ(keyboard->SetDataFormat(&wrong), DIERR_INVALIDPARAM);
  EXPECT_EQ(keyboard->SetDataFormat(nullptr), E_POINTER);
  ASSERT_EQ(keyboard->SetDataFormat(&format), DI_OK);
  ASSERT_EQ(keyboard->SetCooperativeLevel(window, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND), DI_OK);

  ASSERT_EQ(keyboard->Acquire(), DI_OK);
  EXPECT_EQ(keyboard->Acquire(), S_FALSE);  // already
  EXPECT_EQ(keyboard->GetDeviceState(sizeof state - 1, state), DIERR_INVALIDPARAM);
  EXPECT_EQ(keyboard->GetDeviceState(sizeof state, nullptr), DIERR_INVALIDPARAM);
  EXPECT_EQ(keyboard->GetDeviceState(sizeof state, state), DI_OK);
  EXPECT_EQ(keyboard->SetDataFormat(&format), DIERR_ACQUIRED);
  EXPECT_EQ(keyboard->SetCooperativeLevel(window, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND),
            DIERR_ACQUIRED);
  EXPECT_EQ(keyboard->Unacquire(), DI_OK);
  EXPECT_EQ(keyboard->Unacquire(), S_FALSE);
  EXPECT_EQ(keyboard->GetDeviceState(sizeof state, state), DIERR_NOTACQUIRED);

  // The device holds the object: released first, it lives on.
  EXPECT_EQ(di->AddRef(), 3u);
  EXPECT_EQ(di->Release(), 2u);
  EXPECT_EQ(di->Release(), 1u);
  EXPECT_EQ(keyboard->Release(), 0u);
  EXPECT_TRUE(FreeLibrary(module));
  DestroyWindow(window);
}

}  // namespace
