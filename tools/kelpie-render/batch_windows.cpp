// The batch on Windows: one input after the other in this process.
#include <io.h>

#include <cstdio>
#include <string>

#include "tools/kelpie-render/batch.h"
#include "tools/kelpie-render/render_job.h"

bool StderrIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

int RunBatch(const RenderArguments& arguments) {
  Progress progress;
  const std::string refusal = OutDirRefusal(arguments.outDir);
  if (!refusal.empty()) {
    progress.Report(refusal);
    return 1;
  }
  ScreenRenderer renderer;
  BatchInputs inputs(arguments);
  OutputNames outputs(arguments.outDir);
  bool failed = false;
  size_t done = 0;
  std::string input;
  while (inputs.Next(&input)) {
    std::string failure;
    const std::string output = outputs.Claim(input, &failure);
    if (!output.empty()) {
      failure = renderer.RenderToPng(arguments.options, input, output);
    }
    if (!failure.empty()) {
      progress.Report(failure);
      failed = true;
    }
    progress.Done(++done, inputs.Count(), inputs.Exhausted());
  }
  return failed ? 1 : 0;
}
