#include <cstring>

#include "toolkit/base/list.h"
#include "toolkit/base/runtime.h"
#include "toolkit/base/string.h"
#include "toolkit/io/requester.h"
#include "toolkit/io/requester_internal.h"

namespace {

constexpr int32_t kDirectorySize = 260;

struct RequesterState {
  char* nameBuffer;  // program heap; kept after a multiple selection
  int32_t nameBufferSize;
  int32_t nextNameOffset;          // multiple selection: next name not yet reported
  char directory[kDirectorySize];  // multiple selection: the folder, separator-terminated
};

RequesterState state;

struct DisabledWindow {
  DWORD threadId;
  HWND window;
};

// Newest first; empty whenever no requester is up.
ListNode* disabledWindows = nullptr;

// Length of the zero-terminated text in `size` bytes; `size` when unterminated.
size_t BoundedLength(const char* text, size_t size) {
  const void* zero = std::memchr(text, 0, size);
  return zero != nullptr ? static_cast<size_t>(static_cast<const char*>(zero) - text) : size;
}

void FreeNameBuffer() {
  ProgramFree(state.nameBuffer);
  state.nameBuffer = nullptr;
  state.nameBufferSize = 0;
}

// Writes first + second as the result text at `start` of the scratch area.
const char* EmitResult(intptr_t start, const char* first, size_t firstLength, const char* second,
                       size_t secondLength) {
  const auto length = static_cast<intptr_t>(firstLength + secondLength);
  char* out = ScratchReserve(length, start);
  if (out == nullptr) {
    return "";
  }
  std::memcpy(out, first, firstLength);
  std::memcpy(out + firstLength, second, secondLength);
  out[length] = '\0';
  return out;
}

const char* EmptyResult(intptr_t start) { return EmitResult(start, "", 0, "", 0); }

// The dialog leaves one full path, or the folder and then the names, each
// zero-terminated, ending in an empty string.
const char* MultipleResult(intptr_t start) {
  const char* buffer = state.nameBuffer;
  const auto size = static_cast<size_t>(state.nameBufferSize);
  const size_t firstLength = BoundedLength(buffer, size);
  if (firstLength == size) {
    return EmptyResult(start);  // nothing terminated: not an answer
  }
  const size_t nameOffset = firstLength + 1;
  const size_t nameLength =
      nameOffset < size ? BoundedLength(buffer + nameOffset, size - nameOffset) : 0;
  if (nameLength == 0) {
    const char* result = EmitResult(start, buffer, firstLength, "", 0);
    state.nameBuffer[0] = '\0';
    state.nextNameOffset = 0;
    return result;
  }
  if (nameOffset + nameLength == size) {
    return EmptyResult(start);
  }
  // The folder and a separator must fit the directory buffer with its zero.
  const bool separated = firstLength > 0 && buffer[firstLength - 1] == REQUEST_FOLDER_SEPARATOR;
  const size_t directoryLength = firstLength + (separated ? 0 : 1);
  if (directoryLength >= sizeof state.directory) {
    return EmptyResult(start);
  }
  std::memcpy(state.directory, buffer, firstLength);
  state.directory[firstLength] = REQUEST_FOLDER_SEPARATOR;
  state.directory[directoryLength] = '\0';
  state.nextNameOffset = static_cast<int32_t>(nameOffset + nameLength + 1);
  return EmitResult(start, state.directory, directoryLength, buffer + nameOffset, nameLength);
}

// The proposed name into the fresh (zero-filled) file-name buffer; a name
// that does not fit is not proposed at all rather than cut short.
void Propose(const char* name) {
  if (name == nullptr) {
    return;
  }
  const size_t length = std::strlen(name);
  if (length < static_cast<size_t>(state.nameBufferSize)) {
    std::memcpy(state.nameBuffer, name, length);
  }
}

BOOL CALLBACK DisableWindow(HWND window, LPARAM /*unused*/) {
  const DWORD thread = GetCurrentThreadId();
  if (GetWindowThreadProcessId(window, nullptr) != thread) {
    return TRUE;
  }
  if (!IsWindowVisible(window) || !IsWindowEnabled(window)) {
    return TRUE;
  }
  if (window == GetForegroundWindow()) {
    return TRUE;
  }
  // A window that could not be noted would never be enabled again: leave it.
  auto* entry = static_cast<DisabledWindow*>(ListAdd(&disabledWindows, sizeof(DisabledWindow)));
  if (entry == nullptr) {
    return TRUE;
  }
  entry->threadId = thread;
  entry->window = window;
  EnableWindow(window, FALSE);
  return TRUE;
}

}  // namespace

int32_t FileNameIsValid(const char* text) {
  if (text == nullptr || text[0] == '\0') {
    return 0;
  }
  for (const char* p = text; *p != '\0'; ++p) {
    const auto c = static_cast<unsigned char>(*p);
    if (c < 0x20 || std::strchr("\"\\/:*?<>|", c) != nullptr) {
      return 0;
    }
  }
  return 1;
}

HWND RequestOwner() {
  HWND window = GetForegroundWindow();
  if (window == nullptr) {
    return nullptr;
  }
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  return process == GetCurrentProcessId() ? window : nullptr;
}

void ModalGuard(int32_t on) {
  if (on != 0) {
    EnumWindows(DisableWindow, 1);
    return;
  }
  const DWORD thread = GetCurrentThreadId();
  ListNode* node = disabledWindows;
  while (node != nullptr) {
    ListNode* next = node->next;
    auto* entry = static_cast<DisabledWindow*>(ListPayloadOf(node));
    if (entry->threadId == thread) {
      EnableWindow(entry->window, TRUE);
      ListRemove(&disabledWindows, entry);
    }
    node = next;
  }
}

char* RequestNameBuffer() { return state.nameBuffer; }
int32_t RequestNextNameOffset() { return state.nextNameOffset; }

bool RequestDialogPrepare(RequestDialogSetup* setup, int32_t flags, const char* title,
                          const char* defaultFile, const char* patterns, int32_t patternPosition) {
  std::memset(setup, 0, sizeof *setup);
  const bool multiple = (flags & REQUEST_MULTIPLE) != 0;
  const int32_t size = multiple ? REQUEST_MULTIPLE_NAME_SIZE : REQUEST_NAME_SIZE;

  FreeNameBuffer();
  state.nextNameOffset = 0;
  state.nameBuffer = static_cast<char*>(ProgramAllocate(static_cast<size_t>(size)));
  if (state.nameBuffer == nullptr) {
    return false;
  }
  state.nameBufferSize = size;

  // "a|b|c|d" becomes the dialog's list of zero-terminated strings "a" "b" "c"
  // "d" closed by an empty one: the two extra bytes stay zero.
  const char* pattern = patterns != nullptr ? patterns : "";
  const size_t patternLength = std::strlen(pattern);
  setup->filter = static_cast<char*>(ProgramAllocate(patternLength + 2));
  if (setup->filter == nullptr) {
    FreeNameBuffer();
    return false;
  }
  std::memcpy(setup->filter, pattern, patternLength);
  for (size_t i = 0; i < patternLength; ++i) {
    if (setup->filter[i] == '|') {
      setup->filter[i] = '\0';
    }
  }

  const char* initialDirectory = nullptr;
  if (defaultFile != nullptr) {
    const size_t length = std::strlen(defaultFile);
    setup->defaultCopy = static_cast<char*>(ProgramAllocate(length + 2));
    if (setup->defaultCopy == nullptr) {
      RequestDialogRelease(setup);
      FreeNameBuffer();
      return false;
    }
    std::memcpy(setup->defaultCopy, defaultFile, length);
    // The last separator after the first character splits folder and name; a
    // lone leading one leaves the whole text as the name.
    const char* name = setup->defaultCopy;
    initialDirectory = "";
    for (size_t i = length; i-- > 1;) {
      if (setup->defaultCopy[i] == REQUEST_FOLDER_SEPARATOR) {
        setup->defaultCopy[i] = '\0';
        initialDirectory = setup->defaultCopy;
        name = setup->defaultCopy + i + 1;
        break;
      }
    }
    if (FileNameIsValid(name) != 0) {
      setup->proposal = name;
    }
    Propose(setup->proposal);
  }

  OPENFILENAMEA& dialog = setup->dialog;
  dialog.lStructSize = static_cast<DWORD>(OPENFILENAME_SIZE_VERSION_400A);
  dialog.lpstrFilter = setup->filter;
  dialog.nFilterIndex = static_cast<DWORD>(patternPosition) + 1;  // the dialog counts from 1
  dialog.lpstrFile = state.nameBuffer;
  dialog.nMaxFile = static_cast<DWORD>(size);
  dialog.lpstrInitialDir = initialDirectory;
  dialog.lpstrTitle = title;
  dialog.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_HIDEREADONLY |
                 (multiple ? OFN_ALLOWMULTISELECT : 0);
  return true;
}

bool RequestDialogGrow(RequestDialogSetup* setup) {
  if (state.nameBuffer == nullptr || state.nameBufferSize < static_cast<int32_t>(sizeof(WORD))) {
    return false;
  }
  WORD needed = 0;
  std::memcpy(&needed, state.nameBuffer, sizeof needed);
  if (needed <= state.nameBufferSize) {
    return false;
  }
  char* grown = static_cast<char*>(ProgramAllocate(needed));
  if (grown == nullptr) {
    return false;
  }
  ProgramFree(state.nameBuffer);
  state.nameBuffer = grown;
  state.nameBufferSize = needed;
  Propose(setup->proposal);
  setup->dialog.lpstrFile = grown;
  setup->dialog.nMaxFile = needed;
  return true;
}

void RequestDialogRelease(RequestDialogSetup* setup) {
  ProgramFree(setup->filter);
  ProgramFree(setup->defaultCopy);
  setup->filter = nullptr;
  setup->defaultCopy = nullptr;
  setup->proposal = nullptr;
}

const char* RequestFileResult(intptr_t start, int32_t flags, BOOL chosen) {
  if ((flags & REQUEST_MULTIPLE) != 0) {
    if (chosen == 0 || state.nameBuffer == nullptr) {
      return EmptyResult(start);
    }
    return MultipleResult(start);
  }
  const char* result = "";
  if (chosen != 0 && state.nameBuffer != nullptr) {
    // The dialog terminates what it writes; a buffer it left unterminated is
    // no path.
    const size_t length =
        BoundedLength(state.nameBuffer, static_cast<size_t>(state.nameBufferSize));
    result = length < static_cast<size_t>(state.nameBufferSize)
                 ? EmitResult(start, state.nameBuffer, length, "", 0)
                 : EmptyResult(start);
  } else {
    result = EmptyResult(start);
  }
  FreeNameBuffer();
  return result;
}
