// Window classes: registration, lookup by name or atom, the class long
// values, and the classes the layer registers itself (STATIC).

#include <strings.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/posix/out_of_memory.h"
#include "platform/posix/user_internal.h"

namespace user {

namespace {

// Registered classes, newest first, so that a program's class hides a system
// class of the same name.
std::vector<std::unique_ptr<Class>>& Classes() {
  static auto* classes = new std::vector<std::unique_ptr<Class>>;
  return *classes;
}

std::vector<std::unique_ptr<Class>>::iterator FindClassEntry(LPCSTR name) {
  auto& classes = Classes();
  std::string key;
  if (IS_INTRESOURCE(name)) {
    key = "#" + std::to_string(reinterpret_cast<ULONG_PTR>(name));
  } else {
    key = name;
  }
  return std::find_if(classes.begin(), classes.end(), [&](const std::unique_ptr<Class>& c) {
    return strcasecmp(c->name.c_str(), key.c_str()) == 0;
  });
}

ATOM AtomOf(const Class* cls) {
  const auto& classes = Classes();
  for (size_t i = 0; i < classes.size(); ++i) {
    if (classes[i].get() == cls) {
      return static_cast<ATOM>(0xC000 + i);
    }
  }
  return 0;
}

}  // namespace

Class* FindClass(LPCSTR name) {
  if (name == nullptr) {
    return nullptr;
  }
  RegisterSystemClasses();
  auto it = FindClassEntry(name);
  return it != Classes().end() ? it->get() : nullptr;
}

void RegisterSystemClasses() {
  static bool done = false;
  if (done) {
    return;
  }
  done = true;
  auto cls = std::make_unique<Class>();
  cls->name = "Static";
  cls->system = true;
  cls->info.style = CS_DBLCLKS | CS_PARENTDC;
  cls->info.lpfnWndProc = StaticWindowProc;
  cls->info.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  cls->info.lpszClassName = cls->name.c_str();
  Classes().push_back(std::move(cls));
}

}  // namespace user

using namespace user;

ATOM RegisterClassA(const WNDCLASSA* wndClass) {
  return OrOutOfMemory(ATOM{0}, [&]() -> ATOM {
    if (wndClass == nullptr || wndClass->lpszClassName == nullptr ||
        IS_INTRESOURCE(wndClass->lpszClassName) || wndClass->lpfnWndProc == nullptr ||
        wndClass->cbClsExtra < 0 || wndClass->cbWndExtra < 0) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return 0;
    }
    RegisterSystemClasses();
    auto& classes = Classes();
    auto it = FindClassEntry(wndClass->lpszClassName);
    if (it != classes.end() && !(*it)->system) {
      SetLastError(ERROR_CLASS_ALREADY_EXISTS);
      return 0;
    }
    auto cls = std::make_unique<Class>();
    cls->name = wndClass->lpszClassName;
    cls->info = *wndClass;
    cls->info.lpszClassName = cls->name.c_str();
    cls->info.lpszMenuName = nullptr;
    Class* raw = cls.get();
    // A program's class of a system class's name hides the system one.
    classes.insert(classes.begin(), std::move(cls));
    return AtomOf(raw);
  });
}

BOOL UnregisterClassA(LPCSTR className, HINSTANCE) {
  return OrOutOfMemory(FALSE, [&]() -> BOOL {
    RegisterSystemClasses();
    auto& classes = Classes();
    auto it = className != nullptr ? FindClassEntry(className) : classes.end();
    if (it == classes.end() || (*it)->system) {
      SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
      return FALSE;
    }
    if ((*it)->windows > 0) {
      SetLastError(ERROR_CLASS_HAS_WINDOWS);
      return FALSE;
    }
    // Records of destroyed windows may still point at it: keep it until then.
    static std::vector<std::unique_ptr<Class>> retired;
    retired.push_back(std::move(*it));
    classes.erase(it);
    return TRUE;
  });
}

BOOL GetClassInfoA(HINSTANCE, LPCSTR className, LPWNDCLASSA info) {
  Class* cls = FindClass(className);
  if (cls == nullptr || info == nullptr) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
  }
  *info = cls->info;
  return TRUE;
}

int GetClassNameA(HWND window, LPSTR className, int maxCount) {
  Window* w = Find(window);
  if (w == nullptr || className == nullptr || maxCount <= 0) {
    return 0;
  }
  const size_t n = std::min(w->cls->name.size(), static_cast<size_t>(maxCount - 1));
  std::memcpy(className, w->cls->name.data(), n);
  className[n] = '\0';
  return static_cast<int>(n);
}

ULONG_PTR GetClassLongPtrA(HWND window, int index) {
  Window* w = Find(window);
  if (w == nullptr) {
    return 0;
  }
  const WNDCLASSA& c = w->cls->info;
  switch (index) {
    case GCL_STYLE:
      return c.style;
    case GCLP_WNDPROC:
      return reinterpret_cast<ULONG_PTR>(c.lpfnWndProc);
    case GCL_CBCLSEXTRA:
      return static_cast<ULONG_PTR>(c.cbClsExtra);
    case GCL_CBWNDEXTRA:
      return static_cast<ULONG_PTR>(c.cbWndExtra);
    case GCLP_HMODULE:
      return reinterpret_cast<ULONG_PTR>(c.hInstance);
    case GCLP_HICON:
      return reinterpret_cast<ULONG_PTR>(c.hIcon);
    case GCLP_HCURSOR:
      return reinterpret_cast<ULONG_PTR>(c.hCursor);
    case GCLP_HBRBACKGROUND:
      return reinterpret_cast<ULONG_PTR>(c.hbrBackground);
    case GCW_ATOM:
      return AtomOf(w->cls);
    default:
      SetLastError(ERROR_INVALID_INDEX);
      return 0;
  }
}

DWORD GetClassLongA(HWND window, int index) {
  return static_cast<DWORD>(GetClassLongPtrA(window, index));
}
