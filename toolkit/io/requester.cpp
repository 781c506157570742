#include "toolkit/io/requester.h"

#include "toolkit/base/string.h"
#include "toolkit/io/requester_internal.h"

namespace {

// A dialog of ours is running its modal loop.
bool dialogUp = false;

// "" at `start`, touching nothing of the dialog that is up.
const char* EmptyResult(intptr_t start) {
  char* out = ScratchReserve(0, start);
  if (out == nullptr) {
    return "";
  }
  out[0] = '\0';
  return out;
}

BOOL ShowFileDialog(OPENFILENAMEA* dialog, int32_t save) {
  return save != 0 ? GetSaveFileNameA(dialog) : GetOpenFileNameA(dialog);
}

}  // namespace

const char* RequestFile(intptr_t start, int32_t flags, const char* title, const char* defaultFile,
                        const char* patterns, int32_t patternPosition, int32_t save) {
  // A requester asked for from inside our own dialog's loop would free the
  // buffer that dialog is writing into.
  if (dialogUp) {
    return EmptyResult(start);
  }
  RequestDialogSetup setup;
  BOOL chosen = FALSE;
  if (RequestDialogPrepare(&setup, flags, title, defaultFile, patterns, patternPosition)) {
    setup.dialog.hwndOwner = RequestOwner();
    ModalGuard(1);
    dialogUp = true;
    chosen = ShowFileDialog(&setup.dialog, save);
    // A chosen path longer than the buffer: ask again with the size it needs.
    while (chosen == FALSE && CommDlgExtendedError() == FNERR_BUFFERTOOSMALL &&
           RequestDialogGrow(&setup)) {
      chosen = ShowFileDialog(&setup.dialog, save);
    }
    dialogUp = false;
    ModalGuard(0);
    RequestDialogRelease(&setup);
  }
  return RequestFileResult(start, flags, chosen);
}

int32_t RequestMessage(const char* title, const char* text, int32_t flags) {
  ModalGuard(1);
  HWND owner = RequestOwner();
  const int result = MessageBoxA(owner, text, title, static_cast<UINT>(flags));
  ModalGuard(0);
  return result;
}
