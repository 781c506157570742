// The file requester's steps before and after its dialog, apart so that tests
// can check what the dialog is handed and what its answer becomes without a
// user to answer it.
#pragma once

#include <cstdint>

#include "toolkit/io/requester.h"

struct RequestDialogSetup {
  OPENFILENAMEA dialog;  // everything the dialog is handed
  char* filter;          // program-heap block behind lpstrFilter
  char* defaultCopy;     // program-heap copy of the default file, or null
  const char* proposal;  // the name proposed in the file-name buffer (in defaultCopy), or null
};

// Makes a new file-name buffer (freeing one still held), the filter text and
// the copy of the default file, and fills setup->dialog (hwndOwner null).
// False when a block could not be had; nothing is held then.
bool RequestDialogPrepare(RequestDialogSetup* setup, int32_t flags, const char* title,
                          const char* defaultFile, const char* patterns, int32_t patternPosition);
// After the dialog reported FNERR_BUFFERTOOSMALL with the size it needs in
// the buffer's first two bytes: a new file-name buffer of that size with the
// same proposal, handed to setup->dialog. False (the old buffer kept) when the
// size is no larger than the buffer's or the block cannot be had.
bool RequestDialogGrow(RequestDialogSetup* setup);
// Frees the filter text and the default copy; the file-name buffer stays.
void RequestDialogRelease(RequestDialogSetup* setup);

// RequestFile's result from the held file-name buffer after the dialog said
// `chosen`. A single-selection call frees the buffer; a multiple-selection one
// keeps it for the names not yet reported.
const char* RequestFileResult(intptr_t start, int32_t flags, BOOL chosen);

// The held file-name buffer (null when none) and, after a multiple selection,
// the offset of the next name in it not yet reported.
char* RequestNameBuffer();
int32_t RequestNextNameOffset();
