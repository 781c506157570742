// Screen files rendered to PNGs through the toolkit (start-up, file service,
// drawing, screen image), with every check on INPUT and OUTPUT.
#pragma once

#include <string>

#include "platform/win32.h"
#include "tools/kelpie-render/arguments.h"
#include "viewer/render/render.h"

// The toolkit started for the rest of the process: its libraries cannot start
// again once ended, so a process renders all its files through one of these.
class ScreenRenderer {
 public:
  ScreenRenderer();
  ~ScreenRenderer();
  ScreenRenderer(const ScreenRenderer&) = delete;
  ScreenRenderer& operator=(const ScreenRenderer&) = delete;

  // Empty when OUTPUT was written; otherwise the line to report ("PATH:
  // reason"), and no file was changed.
  std::string RenderToPng(const RenderOptions& options, const std::string& input,
                          const std::string& output);

 private:
  HANDLE heap_;
  RenderBuffers buffers_{};
};
