// DirectInput 7 of our layer: DirectInputCreateEx, the DirectInput object and
// the system keyboard. The keyboard's state is what the thread's retrieved
// key messages left (input.h), so a program polling it sees the keys its own
// message loop has taken, in DirectInput's scan-code numbering.
//
// Only the standard keyboard data format is served. Everything a keyboard
// reader needs behaves as DirectInput documents it (acquisition, foreground
// loss, reference counts); the other methods answer DIERR_UNSUPPORTED.

#include "platform/posix/dinput.h"

#include <cstring>
#include <new>

#include "platform/posix/input.h"
#include "platform/posix/user_internal.h"

const GUID IID_IDirectInput7A = {
    0x9A4CB684, 0x236D, 0x11D3, {0x8E, 0x9D, 0x00, 0xC0, 0x4F, 0x68, 0x44, 0xAE}};
const GUID IID_IDirectInputDevice7A = {
    0x57D7C6BC, 0x2356, 0x11D3, {0x8E, 0x9D, 0x00, 0xC0, 0x4F, 0x68, 0x44, 0xAE}};
const GUID GUID_SysKeyboard = {
    0x6F1D2B61, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID GUID_Key = {
    0x55728220, 0xD33C, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

namespace {

// The older interfaces an IDirectInput7A or IDirectInputDevice7A also is.
constexpr GUID kIidUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr GUID kIidDirectInputA = {
    0x89521360, 0xAA8A, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
constexpr GUID kIidDirectInput2A = {
    0x5944E662, 0xAA8A, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
constexpr GUID kIidDirectInputDeviceA = {
    0x5944E680, 0xC92E, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
constexpr GUID kIidDirectInputDevice2A = {
    0x5944E682, 0xC92E, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

constexpr DWORD kOldestVersion = 0x0300;
constexpr DWORD kVersion = 0x0700;
constexpr DWORD kKeyCount = 256;

bool Same(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

bool IsDirectInputIid(REFIID iid) {
  return Same(iid, kIidDirectInputA) || Same(iid, kIidDirectInput2A) ||
         Same(iid, IID_IDirectInput7A);
}

bool IsDeviceIid(REFIID iid) {
  return Same(iid, kIidDirectInputDeviceA) || Same(iid, kIidDirectInputDevice2A) ||
         Same(iid, IID_IDirectInputDevice7A);
}

// QueryInterface for an object that is IUnknown and whatever `isOwn` accepts.
template <typename Object>
HRESULT AnswerInterface(Object* object, REFIID riid, bool (*isOwn)(REFIID), void** out) {
  if (out == nullptr) {
    return E_POINTER;
  }
  *out = nullptr;
  if (!Same(riid, kIidUnknown) && !isOwn(riid)) {
    return E_NOINTERFACE;
  }
  object->AddRef();
  *out = object;
  return S_OK;
}

// c_dfDIKeyboard: one optional button per scan code, its byte at the scan
// code's offset, in a 256-byte state.
bool IsKeyboardFormat(const DIDATAFORMAT& format) {
  const DWORD axisFlags = DIDF_ABSAXIS | DIDF_RELAXIS;
  if (format.dwSize != sizeof(DIDATAFORMAT) || format.dwObjSize != sizeof(DIOBJECTDATAFORMAT) ||
      (format.dwFlags & ~axisFlags) != 0 || format.dwFlags == axisFlags ||
      format.dwDataSize != kKeyCount || format.dwNumObjs != kKeyCount || format.rgodf == nullptr) {
    return false;
  }
  for (DWORD i = 0; i < kKeyCount; ++i) {
    const DIOBJECTDATAFORMAT& o = format.rgodf[i];
    const auto type = static_cast<DWORD>(DIDFT_OPTIONAL | DIDFT_BUTTON | DIDFT_MAKEINSTANCE(i));
    if ((o.pguid != nullptr && !Same(*o.pguid, GUID_Key)) || o.dwOfs != i || o.dwType != type ||
        o.dwFlags != 0) {
      return false;
    }
  }
  return true;
}

class DirectInput;

class Keyboard final : public IDirectInputDevice7A {
 public:
  explicit Keyboard(DirectInput* parent);
  Keyboard(const Keyboard&) = delete;
  Keyboard& operator=(const Keyboard&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    return AnswerInterface(this, riid, IsDeviceIid, out);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override;

  HRESULT STDMETHODCALLTYPE GetCapabilities(LPDIDEVCAPS) override { return DIERR_UNSUPPORTED; }
  HRESULT STDMETHODCALLTYPE EnumObjects(LPDIENUMDEVICEOBJECTSCALLBACKA, LPVOID, DWORD) override {
    return DIERR_UNSUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE GetProperty(REFGUID, LPDIPROPHEADER) override {
    return DIERR_UNSUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE SetProperty(REFGUID, LPCDIPROPHEADER) override {
    return DIERR_UNSUPPORTED;
  }

  HRESULT STDMETHODCALLTYPE Acquire() override {
    if (!formatSet_) {
      return DIERR_INVALIDPARAM;
    }
    if (acquired_) {
      return DI_NOEFFECT;
    }
    if (!InFront()) {
      return DIERR_OTHERAPPHASPRIO;
    }
    acquired_ = true;
    return DI_OK;
  }

  HRESULT STDMETHODCALLTYPE Unacquire() override {
    if (!acquired_) {
      return DI_NOEFFECT;
    }
    acquired_ = false;
    return DI_OK;
  }

  HRESULT STDMETHODCALLTYPE GetDeviceState(DWORD size, LPVOID data) override {
    if (data == nullptr || size != kKeyCount) {
      return DIERR_INVALIDPARAM;
    }
    if (!acquired_) {
      return DIERR_NOTACQUIRED;
    }
    // A foreground device goes when its window leaves the front; the program
    // learns of it here and has to acquire again.
    if (!InFront()) {
      acquired_ = false;
      return DIERR_INPUTLOST;
    }
    InputScanCodeState(static_cast<BYTE*>(data));
    return DI_OK;
  }

  HRESULT STDMETHODCALLTYPE GetDeviceData(DWORD, LPDIDEVICEOBJECTDATA, LPDWORD, DWORD) override {
    return DIERR_UNSUPPORTED;
  }

  HRESULT STDMETHODCALLTYPE SetDataFormat(LPCDIDATAFORMAT format) override {
    if (acquired_) {
      return DIERR_ACQUIRED;
    }
    if (format == nullptr) {
      return E_POINTER;
    }
    if (!IsKeyboardFormat(*format)) {
      return DIERR_INVALIDPARAM;
    }
    formatSet_ = true;
    return DI_OK;
  }

  HRESULT STDMETHODCALLTYPE SetEventNotification(HANDLE) override { return DIERR_UNSUPPORTED; }

  HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND window, DWORD flags) override {
    constexpr DWORD kKnown =
        DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE | DISCL_FOREGROUND | DISCL_BACKGROUND | DISCL_NOWINKEY;
    const DWORD access = flags & (DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE);
    const DWORD place = flags & (DISCL_FOREGROUND | DISCL_BACKGROUND);
    // One of each pair, never both or neither.
    if ((flags & ~kKnown) != 0 || (access != DISCL_EXCLUSIVE && access != DISCL_NONEXCLUSIVE) ||
        (place != DISCL_FOREGROUND && place != DISCL_BACKGROUND)) {
      return DIERR_INVALIDPARAM;
    }
    if (acquired_) {
      return DIERR_ACQUIRED;
    }
    // Exclusive access belongs to a top-level window.
    if (window != nullptr
            ? IsWindow(window) == FALSE || (GetWindowLongPtrA(window, GWL_STYLE) & WS_CHILD) != 0
            : access == DISCL_EXCLUSIVE) {
      return E_HANDLE;
    }
    if (access == DISCL_EXCLUSIVE && place == DISCL_BACKGROUND) {
      return E_NOTIMPL;  // no keyboard is had exclusively in the background
    }
    window_ = window;
    foreground_ = place == DISCL_FOREGROUND;
    return DI_OK;
  }

  HRESULT STDMETHODCALLTYPE GetObjectInfo(LPDIDEVICEOBJECTINSTANCEA, DWORD, DWORD) override {
    return DIERR_UNSUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE GetDeviceInfo(LPDIDEVICEINSTANCEA) override {
    return DIERR_UNSUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE RunControlPanel(HWND, DWORD) override { return DIERR_UNSUPPORTED; }
  HRESULT STDMETHODCALLTYPE Initialize(HINSTANCE, DWORD, REFGUID) override {
    return DIERR_UNSUPPORTED;
  }

  HRESULT STDMETHODCALLTYPE CreateEffect(REFGUID, LPCDIEFFECT, LPDIRECTINPUTEFFECT*,
                                         LPUNKNOWN) override {
    return DIERR_UNSUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE EnumEffects(LPDIENUMEFFECTSCALLBACKA, LPVOID, DWORD) override {
    return DIERR_UNSUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE GetEffectInfo(LPDIEFFECTINFOA, REFGUID) override {
    return DIERR_UNSUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE GetForceFeedbackState(LPDWORD) override { return DIERR_UNSUPPORTED; }
  HRESULT STDMETHODCALLTYPE SendForceFeedbackCommand(DWORD) override { return DIERR_UNSUPPORTED; }
  HRESULT STDMETHODCALLTYPE EnumCreatedEffectObjects(LPDIENUMCREATEDEFFECTOBJECTSCALLBACK, LPVOID,
                                                     DWORD) override {
    return DIERR_UNSUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE Escape(LPDIEFFESCAPE) override { return DIERR_UNSUPPORTED; }

  // The keyboard needs no polling: its state is always current.
  HRESULT STDMETHODCALLTYPE Poll() override { return acquired_ ? DI_NOEFFECT : DIERR_NOTACQUIRED; }

  HRESULT STDMETHODCALLTYPE SendDeviceData(DWORD, LPCDIDEVICEOBJECTDATA, LPDWORD, DWORD) override {
    return DIERR_UNSUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE EnumEffectsInFile(LPCSTR, LPDIENUMEFFECTSINFILECALLBACK, LPVOID,
                                              DWORD) override {
    return DIERR_UNSUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE WriteEffectToFile(LPCSTR, DWORD, LPDIFILEEFFECT, DWORD) override {
    return DIERR_UNSUPPORTED;
  }

 private:
  ~Keyboard();

  // Whether a foreground device may have the keyboard now: its window is the
  // foreground window, or without a window, this program is in front.
  bool InFront() const {
    if (!foreground_) {
      return true;
    }
    if (window_ != nullptr) {
      return GetForegroundWindow() == window_;
    }
    return user::TheActivation().foreground;
  }

  ULONG references_ = 1;
  DirectInput* parent_;
  bool formatSet_ = false;
  bool acquired_ = false;
  bool foreground_ = false;  // until SetCooperativeLevel: nonexclusive, background
  HWND window_ = nullptr;
};

class DirectInput final : public IDirectInput7A {
 public:
  DirectInput() = default;
  DirectInput(const DirectInput&) = delete;
  DirectInput& operator=(const DirectInput&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    return AnswerInterface(this, riid, IsDirectInputIid, out);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) {
      delete this;
    }
    return left;
  }

  HRESULT STDMETHODCALLTYPE CreateDevice(REFGUID device, LPDIRECTINPUTDEVICEA* out,
                                         LPUNKNOWN outer) override {
    return CreateDeviceEx(device, kIidDirectInputDeviceA, reinterpret_cast<LPVOID*>(out), outer);
  }
  HRESULT STDMETHODCALLTYPE EnumDevices(DWORD, LPDIENUMDEVICESCALLBACKA, LPVOID, DWORD) override {
    return DIERR_UNSUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE GetDeviceStatus(REFGUID device) override {
    return Same(device, GUID_SysKeyboard) ? DI_OK : DIERR_DEVICENOTREG;
  }
  HRESULT STDMETHODCALLTYPE RunControlPanel(HWND, DWORD) override { return DIERR_UNSUPPORTED; }
  HRESULT STDMETHODCALLTYPE Initialize(HINSTANCE, DWORD) override { return DIERR_UNSUPPORTED; }
  HRESULT STDMETHODCALLTYPE FindDevice(REFGUID, LPCSTR, LPGUID) override {
    return DIERR_UNSUPPORTED;
  }

  HRESULT STDMETHODCALLTYPE CreateDeviceEx(REFGUID device, REFIID iid, LPVOID* out,
                                           LPUNKNOWN outer) override {
    if (out == nullptr) {
      return DIERR_INVALIDPARAM;
    }
    *out = nullptr;
    if (outer != nullptr) {
      return DIERR_NOAGGREGATION;
    }
    if (!Same(device, GUID_SysKeyboard)) {
      return DIERR_DEVICENOTREG;
    }
    if (!IsDeviceIid(iid)) {
      return DIERR_NOINTERFACE;
    }
    auto* keyboard = new (std::nothrow) Keyboard(this);
    if (keyboard == nullptr) {
      return DIERR_OUTOFMEMORY;
    }
    *out = static_cast<IDirectInputDevice7A*>(keyboard);
    return DI_OK;
  }

 private:
  ~DirectInput() = default;

  ULONG references_ = 1;
};

// A device keeps its DirectInput object alive, as DirectInput's own do.
Keyboard::Keyboard(DirectInput* parent) : parent_(parent) { parent_->AddRef(); }

Keyboard::~Keyboard() { parent_->Release(); }

ULONG Keyboard::Release() {
  const ULONG left = --references_;
  if (left == 0) {
    delete this;
  }
  return left;
}

}  // namespace

HRESULT WINAPI DirectInputCreateEx(HINSTANCE instance, DWORD version, REFIID iid, LPVOID* out,
                                   LPUNKNOWN outer) {
  if (out == nullptr) {
    return DIERR_INVALIDPARAM;
  }
  *out = nullptr;
  if (outer != nullptr) {
    return DIERR_NOAGGREGATION;
  }
  if (version > kVersion) {
    return DIERR_OLDDIRECTINPUTVERSION;  // the program wants a newer DirectInput than this
  }
  if (version == 0) {
    return DIERR_NOTINITIALIZED;
  }
  if (version < kOldestVersion) {
    return DIERR_BETADIRECTINPUTVERSION;
  }
  if (instance == nullptr) {
    return DIERR_INVALIDPARAM;
  }
  if (!IsDirectInputIid(iid)) {
    return DIERR_NOINTERFACE;
  }
  auto* directInput = new (std::nothrow) DirectInput;
  if (directInput == nullptr) {
    return DIERR_OUTOFMEMORY;
  }
  *out = static_cast<IDirectInput7A*>(directInput);
  return DI_OK;
}
