#include "toolkit/gfx/gadget.h"

#include <cinttypes>
#include <cstdio>

#include "toolkit/base/memory.h"
#include "toolkit/base/object.h"
#include "toolkit/base/runtime.h"
#include "toolkit/base/window_data.h"

namespace {

constexpr int32_t kGadgetTableStep = 50;
constexpr int32_t kListStackCapacity = 10;

struct GadgetState {
  HWND baseWindow;  // current gadget parent
  intptr_t second;  // cleared by every creation and by GadgetListUse
  HFONT font;
  HWND* stack;  // gadget-list stack
  int32_t depth;
  int32_t capacity;
  HWND extraWindow;
};

// Kept under the window property named by ListPropertyName().
struct GadgetListRecord {
  HWND window;
  HWND savedParent;
  HWND* savedStack;
  int32_t savedDepth;
  int32_t savedCapacity;
  WNDPROC previousProc;
};

ObjectTable* gadgetTable = nullptr;
GadgetState* state = nullptr;
HFONT defaultFont = nullptr;

void ReleaseGadget(intptr_t number) {
  auto* record = static_cast<GadgetRecord*>(ObjectLookup(gadgetTable, number));
  if (record != nullptr) {
    DestroyWindow(record->window);
  }
}

HWND* NewStack() { return static_cast<HWND*>(ProgramAllocate(sizeof(HWND) * kListStackCapacity)); }

void InitState(void* block) {
  auto* s = static_cast<GadgetState*>(block);
  s->stack = NewStack();
  s->capacity = s->stack != nullptr ? kListStackCapacity : 0;
  s->second = 0;
  s->font = defaultFont;
}

// "Fx_GadgetStack_<module handle as signed decimal>": one name per module, so
// two modules' gadget lists on one window do not meet.
const char* ListPropertyName() {
  static char name[48];
  std::snprintf(name, sizeof name, "Fx_GadgetStack_%" PRIdPTR,
                reinterpret_cast<intptr_t>(ProgramModuleHandle()));
  return name;
}

GadgetListRecord* ListRecordOf(HWND window) {
  return static_cast<GadgetListRecord*>(GetPropA(window, ListPropertyName()));
}

HWND CurrentListWindow() {
  if (state == nullptr) {
    return nullptr;
  }
  return state->depth != 0 && state->stack != nullptr ? state->stack[0] : state->baseWindow;
}

}  // namespace

void GadgetLibraryInit() {
  if (gadgetTable != nullptr) {
    return;
  }
  defaultFont = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  gadgetTable = ObjectTableCreate(sizeof(GadgetRecord), kGadgetTableStep, ReleaseGadget);
  state = static_cast<GadgetState*>(ServiceStateCreate(sizeof(GadgetState), InitState));
  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = sizeof controls;
  controls.dwICC = ICC_TAB_CLASSES | ICC_DATE_CLASSES | ICC_USEREX_CLASSES | ICC_INTERNET_CLASSES;
  InitCommonControlsEx(&controls);
}

void GadgetLibraryEnd() {
  if (state != nullptr && state->extraWindow != nullptr) {
    DestroyWindow(state->extraWindow);
    state->extraWindow = nullptr;
  }
}

GadgetRecord* GadgetSlot(intptr_t number) {
  return static_cast<GadgetRecord*>(ObjectSlot(gadgetTable, number));
}

GadgetRecord* GadgetLookup(intptr_t number) {
  return static_cast<GadgetRecord*>(ObjectLookup(gadgetTable, number));
}

intptr_t GadgetRegister(intptr_t number, GadgetRecord* record, HWND window,
                        const GadgetType* type) {
  if (record == nullptr || window == nullptr) {
    return 0;
  }
  const intptr_t id = number == OBJECT_ANY ? reinterpret_cast<intptr_t>(record) : number;
  record->window = window;
  record->type = type;
  record->previousProc = FromWord<WNDPROC>(
      SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(GadgetProc)));
  SetWindowLongPtrA(window, GWLP_ID, id);
  SetPropA(window, kGadgetIdProperty, FromWord<HANDLE>(id));
  SendMessageA(window, WM_SETFONT, reinterpret_cast<WPARAM>(GadgetFont()), 1);
  if (state != nullptr) {
    state->second = 0;
  }
  return id == reinterpret_cast<intptr_t>(record) ? id : reinterpret_cast<intptr_t>(window);
}

intptr_t GadgetSetState(intptr_t number, intptr_t value) {
  GadgetRecord* record = GadgetLookup(number);
  if (record == nullptr || record->type == nullptr || record->type->setState == nullptr) {
    return 0;
  }
  return record->type->setState(record, value);
}

HWND GadgetListUse(HWND window) {
  HWND previous = CurrentListWindow();
  if (window == nullptr || state == nullptr) {
    return previous;
  }

  if (previous != nullptr) {
    if (GadgetListRecord* saved = ListRecordOf(previous)) {
      saved->savedParent = state->baseWindow;
      saved->savedStack = state->stack;
      saved->savedDepth = state->depth;
      saved->savedCapacity = state->capacity;
      state->stack = nullptr;
    }
  }

  if (GadgetListRecord* known = ListRecordOf(window)) {
    ProgramFree(state->stack);
    state->baseWindow = known->savedParent;
    state->stack = known->savedStack;
    state->depth = known->savedDepth;
    state->capacity = known->savedCapacity;
    known->savedStack = nullptr;
  } else {
    if (state->stack == nullptr) {
      state->stack = NewStack();
      state->capacity = state->stack != nullptr ? kListStackCapacity : 0;
    }
    state->depth = 0;
    state->baseWindow = window;
    auto* record = static_cast<GadgetListRecord*>(ProgramAllocate(sizeof(GadgetListRecord)));
    if (record != nullptr) {
      record->window = window;
      if (SetPropA(window, ListPropertyName(), record)) {
        record->previousProc = FromWord<WNDPROC>(SetWindowLongPtrA(
            window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(GadgetListSubclassProc)));
      } else {
        ProgramFree(record);
      }
    }
  }
  state->second = 0;
  return previous;
}

HWND GadgetListParent() { return state != nullptr ? state->baseWindow : nullptr; }

HFONT GadgetFont() { return state != nullptr ? state->font : defaultFont; }

LRESULT CALLBACK GadgetListSubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  GadgetListRecord* record = ListRecordOf(window);
  if (record == nullptr) {
    return DefWindowProcA(window, message, wParam, lParam);
  }
  const WNDPROC previous = record->previousProc;
  if (message == WM_NCDESTROY) {
    if (state != nullptr && window == CurrentListWindow()) {
      state->baseWindow = nullptr;
      state->depth = 0;
    }
    RemovePropA(window, ListPropertyName());
    ProgramFree(record->savedStack);
    ProgramFree(record);
  }
  if (previous == nullptr) {
    return DefWindowProcA(window, message, wParam, lParam);
  }
  return CallWindowProcA(previous, window, message, wParam, lParam);
}

HWND WindowFromControl(HWND control) {
  HWND window = control;
  while (window != nullptr && GetPropA(window, kWindowIdProperty) == nullptr) {
    HWND parent = GetParent(window);
    if (parent == nullptr) {
      break;
    }
    window = parent;
  }
  return window;
}

void GadgetPostEvent(HWND control, int32_t type) {
  PostMessageA(WindowFromControl(control), MSG_GADGET_EVENT,
               static_cast<WPARAM>(GetWindowLongPtrA(control, GWLP_ID)), type);
}

LRESULT CALLBACK GadgetProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  const intptr_t id = GetWindowLongPtrA(window, GWLP_ID);
  GadgetRecord* record = id != -1 ? GadgetLookup(id) : nullptr;
  // A control that is no longer (or not yet) a live gadget of this number has
  // nothing to pass its messages on to.
  if (record == nullptr || record->window != window || record->previousProc == nullptr) {
    return DefWindowProcA(window, message, wParam, lParam);
  }
  const LRESULT result = CallWindowProcA(record->previousProc, window, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    if (record->type != nullptr && record->type->releaseHandler != nullptr) {
      record->type->releaseHandler(record);
    }
    RemovePropA(window, kGadgetIdProperty);
    if (RemovePropA(window, kDropAcceptProperty) != nullptr) {
      RevokeDragDrop(window);
    }
    SetWindowLongPtrA(window, GWLP_ID, -1);
    ObjectFree(gadgetTable, id);
  }
  return result;
}
