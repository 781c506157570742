// The open and save file dialogs: GetOpenFileNameA and GetSaveFileNameA read
// the OPENFILENAMEA, the display shows the dialog (display.h) while the
// thread's messages run, and the user's choice is checked against the flags
// and written back as Win32 writes it. CommDlgExtendedError tells a failure
// from a cancel.
//
// Paths are the file system's own ("/" separates folders). What is not
// served: hooks and templates (the dialog then fails), the read-only check
// box, and the prompts of OFN_OVERWRITEPROMPT and OFN_CREATEPROMPT, which are
// left to the display along with the flags.

#include "platform/posix/comdlg.h"

#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/posix/dialog_internal.h"
#include "platform/posix/display.h"
#include "platform/posix/out_of_memory.h"

using user::ModalDialog;
using user::ModalEnd;

namespace {

thread_local DWORD extendedError = 0;

BOOL Fail(DWORD error) {
  extendedError = error;
  return FALSE;
}

bool IsFolder(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool Exists(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0;
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) {
    return "";
  }
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string CurrentDirectory() {
  std::error_code error;
  const std::filesystem::path here = std::filesystem::current_path(error);
  return error ? std::string("/") : here.string();
}

// The description/pattern pairs of a double-zero-terminated list; a
// description without its pattern is dropped.
std::vector<std::pair<std::string, std::string>> FilterPairs(LPCSTR list) {
  std::vector<std::pair<std::string, std::string>> pairs;
  if (list == nullptr) {
    return pairs;
  }
  for (const char* p = list; *p != '\0';) {
    const std::string description = p;
    p += description.size() + 1;
    if (*p == '\0') {
      break;
    }
    const std::string pattern = p;
    p += pattern.size() + 1;
    pairs.emplace_back(description, pattern);
  }
  return pairs;
}

// The offset just past the name's last point, or of its end without one, or 0
// when the name ends in a point.
WORD ExtensionOffset(const std::string& path, size_t nameOffset) {
  const size_t point = path.rfind('.');
  if (point == std::string::npos || point < nameOffset) {
    return static_cast<WORD>(std::min<size_t>(path.size(), 0xFFFF));
  }
  if (point + 1 == path.size()) {
    return 0;
  }
  return static_cast<WORD>(std::min<size_t>(point + 1, 0xFFFF));
}

struct Setup {
  DisplayFileRequest request;
  bool customFirst = false;  // the list begins with the program's custom filter
  std::string base;          // the folder relative answers count from (absolute)
};

Setup Prepare(const OPENFILENAMEA& ofn, HWND owner, bool save) {
  Setup setup;
  DisplayFileRequest& r = setup.request;
  r.owner = owner;
  r.save = save;
  r.title = ofn.lpstrTitle != nullptr ? ofn.lpstrTitle : (save ? "Save As" : "Open");
  r.flags = ofn.Flags;
  r.extension = ofn.lpstrDefExt != nullptr ? ofn.lpstrDefExt : "";

  r.filters = FilterPairs(ofn.lpstrFilter);
  r.filter = 0;
  // Index 0 asks for the custom filter, where the program keeps one with a
  // pattern; otherwise the first entry stands in for a missing one.
  const auto custom = FilterPairs(ofn.lpstrCustomFilter);
  if (ofn.nFilterIndex == 0 && !custom.empty() && !custom[0].second.empty()) {
    r.filters.insert(r.filters.begin(), custom[0]);
    setup.customFirst = true;
  } else if (ofn.nFilterIndex >= 1 && ofn.nFilterIndex <= r.filters.size()) {
    r.filter = ofn.nFilterIndex - 1;
  }

  // The file buffer proposes a name, and a folder when it holds a path; a
  // text the buffer does not terminate proposes nothing.
  const char* file = ofn.lpstrFile;
  const size_t length = strnlen(file, ofn.nMaxFile);
  const std::string proposed = length < ofn.nMaxFile ? std::string(file, length) : "";
  r.name = NameOf(proposed);
  r.folder = FolderOf(proposed);
  if (r.folder.empty() && ofn.lpstrInitialDir != nullptr) {
    r.folder = ofn.lpstrInitialDir;
  }
  setup.base = CurrentDirectory();
  if (!r.folder.empty()) {
    setup.base = r.folder[0] == '/' ? r.folder : setup.base + "/" + r.folder;
  }
  return setup;
}

// `path` without repeated separators and "." steps, which change nothing the
// kernel finds. ".." stays: after a symbolic link it leads out of the link's
// target, not back to the folder the link sits in. A trailing separator stays
// too, also for a last "." step: it names no file, and the answer is refused.
std::string WithoutEmptySteps(const std::string& path) {
  std::string tidy;
  std::string_view step;
  for (size_t start = 0; start <= path.size();) {
    const size_t end = std::min(path.find('/', start), path.size());
    step = std::string_view(path).substr(start, end - start);
    if (!step.empty() && step != ".") {
      tidy += '/';
      tidy += step;
    }
    start = end + 1;
  }
  if (step.empty() || step == ".") {
    tidy += '/';
  }
  return tidy;
}

// The full path of an answer: relative to the dialog's folder, with the
// default extension added to a name without one.
std::string FullPath(const Setup& setup, const std::string& answer) {
  std::string path = !answer.empty() && answer[0] == '/' ? answer : setup.base + "/" + answer;
  const std::string name = NameOf(path);
  if (!name.empty() && !setup.request.extension.empty() && name.find('.') == std::string::npos) {
    path += "." + setup.request.extension;
  }
  return WithoutEmptySteps(path);
}

// Why the user's choice cannot be taken, or null.
const char* Refusal(const std::string& path, DWORD flags) {
  if (NameOf(path).empty()) {
    return "No file name was given.";
  }
  if (IsFolder(path)) {
    return "This is a folder, not a file.";
  }
  if ((flags & (OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST)) != 0 && !IsFolder(FolderOf(path))) {
    return "The folder does not exist.";
  }
  if ((flags & OFN_FILEMUSTEXIST) != 0 && !Exists(path)) {
    return "The file does not exist.";
  }
  return nullptr;
}

// Writes the chosen files into the program's buffer as Win32 does: one full
// path; or, with several, the folder and then the names, zero-separated and
// ending in an empty string (space-separated without OFN_EXPLORER). False
// when they do not fit: the first two bytes then hold the size needed.
bool WriteResult(OPENFILENAMEA* ofn, const std::vector<std::string>& paths) {
  const bool multiple = (ofn->Flags & OFN_ALLOWMULTISELECT) != 0;
  const bool explorer = (ofn->Flags & OFN_EXPLORER) != 0;
  std::string result;
  size_t nameOffset = 0;
  WORD extensionOffset = 0;
  if (paths.size() == 1) {
    result = paths[0];
    nameOffset = result.size() - NameOf(result).size();
    extensionOffset = ExtensionOffset(result, nameOffset);
    result.push_back('\0');
    if (multiple && explorer) {
      result.push_back('\0');
    }
  } else {
    const std::string folder = FolderOf(paths[0]);
    const char separator = explorer ? '\0' : ' ';
    result = folder;
    result.push_back(separator);
    nameOffset = result.size();
    for (size_t i = 0; i < paths.size(); ++i) {
      result += NameOf(paths[i]);
      result.push_back(i + 1 < paths.size() ? separator : '\0');
    }
    if (explorer) {
      result.push_back('\0');
    }
  }
  if (result.size() > ofn->nMaxFile) {
    if (ofn->nMaxFile >= sizeof(WORD)) {
      const auto needed = static_cast<WORD>(std::min<size_t>(result.size(), 0xFFFF));
      std::memcpy(ofn->lpstrFile, &needed, sizeof needed);
    }
    return false;
  }
  std::memcpy(ofn->lpstrFile, result.data(), result.size());
  ofn->nFileOffset = static_cast<WORD>(std::min<size_t>(nameOffset, 0xFFFF));
  ofn->nFileExtension = extensionOffset;
  if (paths.size() == 1 && ofn->lpstrFileTitle != nullptr && ofn->nMaxFileTitle > 0) {
    const std::string name = NameOf(paths[0]);
    const size_t n = std::min<size_t>(name.size(), ofn->nMaxFileTitle - 1);
    std::memcpy(ofn->lpstrFileTitle, name.data(), n);
    ofn->lpstrFileTitle[n] = '\0';
  }
  if (ofn->lpstrDefExt != nullptr) {
    const std::string name = NameOf(paths[0]);
    const size_t point = name.rfind('.');
    const std::string extension = point == std::string::npos ? "" : name.substr(point + 1);
    if (strcasecmp(extension.c_str(), ofn->lpstrDefExt) != 0) {
      ofn->Flags |= OFN_EXTENSIONDIFFERENT;
    } else {
      ofn->Flags &= ~static_cast<DWORD>(OFN_EXTENSIONDIFFERENT);
    }
  }
  return true;
}

BOOL ShowFileDialog(LPOPENFILENAMEA ofn, bool save) {
  extendedError = 0;
  if (ofn == nullptr) {
    return Fail(CDERR_INITIALIZATION);
  }
  if (ofn->lStructSize != OPENFILENAME_SIZE_VERSION_400A &&
      ofn->lStructSize != sizeof(OPENFILENAMEA)) {
    return Fail(CDERR_STRUCTSIZE);
  }
  if ((ofn->Flags & (OFN_ENABLEHOOK | OFN_ENABLETEMPLATE | OFN_ENABLETEMPLATEHANDLE)) != 0) {
    return Fail(CDERR_DIALOGFAILURE);  // no dialog procedure of the program runs here
  }
  if (ofn->lpstrFile == nullptr) {
    return Fail(CDERR_INITIALIZATION);
  }
  HWND owner = ofn->hwndOwner;
  if (owner != nullptr) {
    if (IsWindow(owner) == FALSE) {
      return Fail(CDERR_DIALOGFAILURE);
    }
    // A child owns nothing; its top-level window does.
    while ((GetWindowLongPtrA(owner, GWL_STYLE) & WS_CHILD) != 0 && GetParent(owner) != nullptr) {
      owner = GetParent(owner);
    }
  }
  const Setup setup = Prepare(*ofn, owner, save);
  const DisplayFileRequest& request = setup.request;

  bool chosen = false;
  bool tooSmall = false;
  ModalDialog dialog;
  dialog.fileAnswer = [&](const std::vector<std::string>& answers, size_t filter) {
    if (answers.empty()) {
      return true;  // Cancel
    }
    std::vector<std::string> paths;
    paths.reserve(answers.size());
    for (const std::string& answer : answers) {
      paths.push_back(FullPath(setup, answer));
    }
    if (paths.size() > 1 && (ofn->Flags & OFN_ALLOWMULTISELECT) == 0) {
      DisplayRefuseFile(paths[0], "Only one file can be chosen.");
      return false;
    }
    for (const std::string& path : paths) {
      if (FolderOf(path) != FolderOf(paths[0])) {
        DisplayRefuseFile(path, "The files are not in one folder.");
        return false;
      }
      if (const char* why = Refusal(path, ofn->Flags)) {
        DisplayRefuseFile(path, why);
        return false;
      }
    }
    if (!request.filters.empty()) {
      const size_t entry = std::min(filter, request.filters.size() - 1);
      ofn->nFilterIndex = static_cast<DWORD>(setup.customFirst ? entry : entry + 1);
    }
    if (!WriteResult(ofn, paths)) {
      tooSmall = true;
      return true;
    }
    chosen = true;
    // Without OFN_NOCHANGEDIR the dialog leaves the process in the chosen
    // folder; should that fail, the full path still answers the call.
    if ((ofn->Flags & OFN_NOCHANGEDIR) == 0) {
      std::error_code ignored;
      std::filesystem::current_path(FolderOf(paths[0]), ignored);
    }
    return true;
  };
  const ModalEnd end =
      user::RunModal(&dialog, owner, save ? "GetSaveFileNameA" : "GetOpenFileNameA",
                     [&] { return DisplayShowFileDialog(request); });
  if (end == ModalEnd::kNotShown) {
    return Fail(CDERR_DIALOGFAILURE);
  }
  if (dialog.outOfMemory) {
    return Fail(CDERR_MEMALLOCFAILURE);
  }
  if (tooSmall) {
    return Fail(FNERR_BUFFERTOOSMALL);
  }
  return chosen ? TRUE : FALSE;
}

// Running out of memory is the dialog's own kind of failure.
BOOL FileDialog(LPOPENFILENAMEA ofn, bool save) {
  const BOOL chosen = OrOutOfMemory(BOOL{-1}, [&] { return ShowFileDialog(ofn, save); });
  return chosen == -1 ? Fail(CDERR_MEMALLOCFAILURE) : chosen;
}

}  // namespace

BOOL GetOpenFileNameA(LPOPENFILENAMEA ofn) { return FileDialog(ofn, false); }

BOOL GetSaveFileNameA(LPOPENFILENAMEA ofn) { return FileDialog(ofn, true); }

DWORD CommDlgExtendedError() { return extendedError; }
