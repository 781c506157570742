#include "toolkit/input/keyboard.h"

#include <cstring>

#include "toolkit/base/runtime.h"
#include "toolkit/base/string.h"
#include "toolkit/input/dinput_ids.h"

namespace {

constexpr DWORD kDirectInputVersion = 0x0700;
constexpr DWORD kKeyCount = 256;
constexpr intptr_t kTypedReserve = 256;  // 255 examined keys and a zero

using DirectInputCreateExProc = HRESULT(WINAPI*)(HINSTANCE, DWORD, REFIID, LPVOID*, LPUNKNOWN);

enum DeviceState { kNoDevice = 0, kFormatSet = 1, kAcquired = 2 };

struct KeypadKey {
  BYTE scanCode;
  char character;
};

// Keypad keys give their digit (or point, or slash) whatever Num Lock says.
constexpr KeypadKey kKeypad[] = {
    {0x47, '7'}, {0x48, '8'}, {0x49, '9'}, {0x4B, '4'}, {0x4C, '5'}, {0x4D, '6'},
    {0x4F, '1'}, {0x50, '2'}, {0x51, '3'}, {0x52, '0'}, {0x53, '.'}, {0xB5, '/'},
};

HMODULE directInputLibrary = nullptr;
IDirectInput7A* directInput = nullptr;
int32_t directInputUsers = 0;

bool keyboardUsed = false;
DIOBJECTDATAFORMAT* objectFormat = nullptr;
DIDATAFORMAT dataFormat;
IDirectInputDevice7A* keyboard = nullptr;
DeviceState deviceState = kNoDevice;
BYTE keyState[kKeyCount];
BYTE releaseWatch[kKeyCount];

// The standard keyboard format: one optional button per scan code, its byte at
// the scan code's offset.
DIOBJECTDATAFORMAT* BuildObjectFormat() {
  HANDLE heap = ProgramHeap();
  if (heap == nullptr) {
    return nullptr;
  }
  auto* table =
      static_cast<DIOBJECTDATAFORMAT*>(HeapAlloc(heap, 0, kKeyCount * sizeof(DIOBJECTDATAFORMAT)));
  if (table == nullptr) {
    return nullptr;
  }
  for (DWORD i = 0; i < kKeyCount; ++i) {
    table[i].pguid = &kGuidKey;
    table[i].dwOfs = i;
    table[i].dwType = static_cast<DWORD>(DIDFT_OPTIONAL | DIDFT_BUTTON | DIDFT_MAKEINSTANCE(i));
    table[i].dwFlags = 0;
  }
  return table;
}

char KeypadCharacter(DWORD scanCode) {
  for (const KeypadKey& key : kKeypad) {
    if (key.scanCode == scanCode) {
      return key.character;
    }
  }
  return '\0';
}

}  // namespace

IDirectInput7A* DirectInputAcquire() {
  if (directInput == nullptr) {
    directInputLibrary = LoadLibraryA("DINPUT.DLL");
    if (directInputLibrary != nullptr) {
      // Through void (*)() so that the compiler sees a deliberate cast.
      const auto create = reinterpret_cast<DirectInputCreateExProc>(
          reinterpret_cast<void (*)()>(GetProcAddress(directInputLibrary, "DirectInputCreateEx")));
      HINSTANCE module = ProgramModuleHandle();
      if (module == nullptr) {
        module = GetModuleHandleA(nullptr);
      }
      void* object = nullptr;
      if (create != nullptr) {
        create(module, kDirectInputVersion, kIidDirectInput7A, &object, nullptr);
      }
      directInput = static_cast<IDirectInput7A*>(object);
      // Unloaded again so that retrying on every call does not pile up loads.
      if (directInput == nullptr) {
        FreeLibrary(directInputLibrary);
        directInputLibrary = nullptr;
      }
    }
  }
  ++directInputUsers;
  return directInput;
}

void DirectInputRelease() {
  --directInputUsers;
  if (directInput != nullptr && directInputUsers == 0) {
    directInput->Release();
    directInput = nullptr;
    FreeLibrary(directInputLibrary);
    directInputLibrary = nullptr;
  }
}

intptr_t KeyboardStart() {
  IDirectInput7A* di = DirectInputAcquire();
  keyboardUsed = true;
  if (di == nullptr) {
    return 0;
  }
  if (deviceState != kNoDevice) {
    return reinterpret_cast<intptr_t>(di);
  }

  DIOBJECTDATAFORMAT* table = BuildObjectFormat();
  if (table == nullptr) {
    return 0;
  }
  dataFormat.dwSize = sizeof(DIDATAFORMAT);
  dataFormat.dwObjSize = sizeof(DIOBJECTDATAFORMAT);
  dataFormat.dwFlags = DIDF_RELAXIS;
  dataFormat.dwDataSize = kKeyCount;
  dataFormat.dwNumObjs = kKeyCount;
  dataFormat.rgodf = table;

  // A failed attempt keeps nothing: the next start makes everything anew.
  IDirectInputDevice7A* device = nullptr;
  if (FAILED(di->CreateDeviceEx(kGuidSysKeyboard, kIidDirectInputDevice7A,
                                reinterpret_cast<LPVOID*>(&device), nullptr)) ||
      device == nullptr) {
    ProgramFree(table);
    return 0;
  }
  if (FAILED(device->SetDataFormat(&dataFormat))) {
    device->Release();
    ProgramFree(table);
    return 0;
  }
  ProgramFree(objectFormat);
  objectFormat = table;
  keyboard = device;
  deviceState = kFormatSet;
  return 1;
}

int32_t KeyboardPoll() {
  if (deviceState == kNoDevice || keyboard == nullptr) {
    return 0;
  }
  if (deviceState == kFormatSet) {
    // The full-screen window this would name is never open here: null. A
    // failure of either call shows up at GetDeviceState.
    keyboard->SetCooperativeLevel(nullptr, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND | DISCL_NOWINKEY);
    keyboard->Acquire();
    deviceState = kAcquired;
  }
  if (FAILED(keyboard->GetDeviceState(kKeyCount, keyState))) {
    deviceState = kFormatSet;
    return 0;
  }
  return 1;
}

const char* KeyboardTypedChar(intptr_t start) {
  char* const text = ScratchReserve(kTypedReserve, start);
  if (text == nullptr) {
    return "";
  }
  char* out = text;
  if (deviceState == kAcquired) {
    bool translating = false;
    HKL layout = nullptr;
    BYTE shiftState[kKeyCount] = {};
    for (DWORD k = 0; k < kKeyCount - 1; ++k) {
      if ((keyState[k] & 0x80) != 0) {
        releaseWatch[k] = 1;
        continue;
      }
      if (releaseWatch[k] == 0) {
        continue;
      }
      releaseWatch[k] = 0;
      // The thread's own view of Shift, Ctrl, Caps Lock… at this moment, once
      // for every key of this call.
      if (!translating) {
        layout = GetKeyboardLayout(0);
        GetKeyboardState(shiftState);
        translating = true;
      }
      const UINT vk = MapVirtualKeyExA(k, MAPVK_VSC_TO_VK, layout);
      WORD translated = 0;
      char c = '\0';
      if (ToAsciiEx(vk, k, shiftState, &translated, 0, layout) != 0) {
        char bytes[sizeof translated];
        std::memcpy(bytes, &translated, sizeof translated);
        c = bytes[0];
      }
      if (const char keypad = KeypadCharacter(k); keypad != '\0') {
        c = keypad;
      }
      if (c == '\r' || c == '\b') {
        c = '\0';
      }
      if (c != '\0') {
        *out++ = c;
      }
    }
  }
  ScratchGiveBack(kTypedReserve - (out - text));
  *out = '\0';
  return text;
}

void KeyboardLibraryEnd() {
  if (!keyboardUsed) {
    return;
  }
  if (keyboard != nullptr) {
    keyboard->Unacquire();
    keyboard->Release();
    keyboard = nullptr;
  }
  // A later start makes a new device rather than polling the one given back.
  deviceState = kNoDevice;
  ProgramFree(objectFormat);
  objectFormat = nullptr;
  std::memset(releaseWatch, 0, sizeof releaseWatch);
  keyboardUsed = false;
  DirectInputRelease();
}
