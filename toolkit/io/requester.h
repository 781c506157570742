// Requesters: the platform's open/save-file dialog and message box, each modal
// over the program's other windows, and the guard that disables those windows
// while one is up.
#pragma once

#include <cstdint>

#include "platform/win32.h"

// The folder separator in the paths the file dialog takes and gives back: the
// one fact of this service that differs between the platforms.
#ifdef _WIN32
constexpr char REQUEST_FOLDER_SEPARATOR = '\\';
#else
constexpr char REQUEST_FOLDER_SEPARATOR = '/';
#endif

// RequestFile flags.
constexpr int32_t REQUEST_MULTIPLE = 1;  // several files may be chosen

// File-name buffer sizes, terminating zero included. A chosen path that does
// not fit is asked for again with a buffer of the size the dialog names.
constexpr int32_t REQUEST_NAME_SIZE = 260;
constexpr int32_t REQUEST_MULTIPLE_NAME_SIZE = 512000;

// Shows the open dialog (the save dialog when `save` is non-zero) and yields
// the chosen file's full path, or "" when none was chosen or the dialog could
// not be shown. String-valued: the text is built in the scratch area from
// `start`, and the caller takes it with StringAssignResult(variable, start);
// the pointer returned is that text, valid until the scratch area changes.
//
// `patterns` is "description|pattern|description|pattern…"; `patternPosition`
// is the 0-based pair selected at first. `defaultFile` proposes a folder and
// name ("folder<sep>name"). Any text may be null.
const char* RequestFile(intptr_t start, int32_t flags, const char* title, const char* defaultFile,
                        const char* patterns, int32_t patternPosition, int32_t save);
inline const char* RequestOpenFile(intptr_t start, const char* title, const char* defaultFile,
                                   const char* patterns, int32_t patternPosition) {
  return RequestFile(start, 0, title, defaultFile, patterns, patternPosition, 0);
}

// The foreground window when this process owns it, else null.
HWND RequestOwner();

// on != 0: disables the calling thread's visible, enabled top-level windows
// except the foreground one; on == 0: enables again what this thread disabled.
void ModalGuard(int32_t on);

// 1 when `text` is a non-empty name without control bytes or any of
// " \ / : * ? < > |, else 0.
int32_t FileNameIsValid(const char* text);

// A modal message box; `flags` is the platform's MB_ style as is. The id of the
// button that closed it (IDOK…), or 0 when no box could be shown.
int32_t RequestMessage(const char* title, const char* text, int32_t flags);
