// Modules: the process's own module and the modules built into the layer.
// A built-in module is "loaded" by LoadLibraryA and counted as Win32 counts
// loads; it is found by GetModuleHandleA and its entries by GetProcAddress
// only while its count is above zero.

#include <strings.h>

#include <cstring>
#include <mutex>

#include "platform/posix/dinput.h"
#include "platform/posix/kernel.h"
#include "platform/posix/out_of_memory.h"

namespace {

struct Export {
  const char* name;  // matched exactly, as export names are
  FARPROC entry;
};

struct BuiltIn {
  const char* file;  // matched without regard to case
  const Export* exports;
  size_t exportCount;
  HINSTANCE__ handle{};
  int loads = 0;
};

// Through void (*)() so that the compiler sees a deliberate cast.
template <typename F>
FARPROC Entry(F* function) {
  return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(function));
}

HINSTANCE__ processModule{};

struct Modules {
  std::mutex lock;
  const Export dinputExports[1] = {{"DirectInputCreateEx", Entry(&DirectInputCreateEx)}};
  BuiltIn dinput{"dinput.dll", dinputExports, 1};
};

Modules& TheModules() {
  static auto* modules = new Modules;
  return *modules;
}

// A bare module name without an extension means "<name>.dll", as on Win32; a
// trailing point keeps a name from getting one. Paths name files of the file
// system, which holds no modules.
BuiltIn* ByName(LPCSTR name) {
  if (name == nullptr || std::strpbrk(name, "/\\") != nullptr) {
    return nullptr;
  }
  BuiltIn& dinput = TheModules().dinput;
  const size_t stem = std::strlen(dinput.file) - 4;  // without ".dll"
  if (strcasecmp(name, dinput.file) == 0 ||
      (std::strlen(name) == stem && strncasecmp(name, dinput.file, stem) == 0)) {
    return &dinput;
  }
  return nullptr;
}

BuiltIn* Loaded(HMODULE module) {
  BuiltIn& dinput = TheModules().dinput;
  return module == &dinput.handle && dinput.loads > 0 ? &dinput : nullptr;
}

}  // namespace

HMODULE LoadLibraryA(LPCSTR name) {
  return OrOutOfMemory(HMODULE{}, [&]() -> HMODULE {
    if (name == nullptr) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
    }
    std::lock_guard<std::mutex> guard(TheModules().lock);
    BuiltIn* module = ByName(name);
    if (module == nullptr) {
      SetLastError(ERROR_MOD_NOT_FOUND);
      return nullptr;
    }
    ++module->loads;
    return &module->handle;
  });
}

BOOL FreeLibrary(HMODULE module) {
  if (module == &processModule) {
    return TRUE;
  }
  std::lock_guard<std::mutex> guard(TheModules().lock);
  BuiltIn* loaded = Loaded(module);
  if (loaded == nullptr) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return FALSE;
  }
  --loaded->loads;
  return TRUE;
}

FARPROC GetProcAddress(HMODULE module, LPCSTR name) {
  if (module == nullptr || module == &processModule) {
    SetLastError(ERROR_PROC_NOT_FOUND);  // the program exports nothing
    return nullptr;
  }
  std::lock_guard<std::mutex> guard(TheModules().lock);
  const BuiltIn* loaded = Loaded(module);
  if (loaded == nullptr) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  // A name below 0x10000 is an ordinal; built-in modules export by name only.
  if (name != nullptr && reinterpret_cast<uintptr_t>(name) >= 0x10000) {
    for (size_t i = 0; i < loaded->exportCount; ++i) {
      if (std::strcmp(loaded->exports[i].name, name) == 0) {
        return loaded->exports[i].entry;
      }
    }
  }
  SetLastError(ERROR_PROC_NOT_FOUND);
  return nullptr;
}

HMODULE GetModuleHandleA(LPCSTR name) {
  if (name == nullptr) {
    return &processModule;
  }
  std::lock_guard<std::mutex> guard(TheModules().lock);
  BuiltIn* module = ByName(name);
  if (module == nullptr || module->loads == 0) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  return &module->handle;
}
