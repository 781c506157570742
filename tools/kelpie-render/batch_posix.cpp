// The batch on POSIX: a worker process per core, forked before any toolkit
// start-up (the toolkit keeps its state per process). Inputs go out one
// message each through a datagram socket that all workers read, so each
// message reaches one worker whole; results come back the same way. The
// parent names the outputs, keeps the count and reports.
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tools/kelpie-render/batch.h"
#include "tools/kelpie-render/render_job.h"

namespace {

// An input and its output, NUL-separated; larger names than this cannot be
// opened anyway.
constexpr size_t MESSAGE_MAX = size_t{64} * 1024;
constexpr int PROGRESS_TICK_MS = 100;

int WorkerCount() {
  cpu_set_t cpus;
  CPU_ZERO(&cpus);
  if (sched_getaffinity(0, sizeof cpus, &cpus) == 0 && CPU_COUNT(&cpus) > 0) {
    return CPU_COUNT(&cpus);
  }
  const long online = sysconf(_SC_NPROCESSORS_ONLN);
  return online > 0 ? static_cast<int>(online) : 1;
}

// Renders what arrives until the parent has no more. Each result is "+", or
// "-" and the line to report (never empty: an empty message reads as the end).
[[noreturn]] void Work(const RenderOptions& options, int tasks, int results) {
  std::vector<char> message(MESSAGE_MAX);
  ScreenRenderer renderer;
  for (;;) {
    const ssize_t got = recv(tasks, message.data(), message.size(), 0);
    if (got < 0 && errno == EINTR) {
      continue;
    }
    if (got <= 0) {
      break;
    }
    const std::string input(message.data());
    const std::string output(message.data() + input.size() + 1);
    const std::string failure = renderer.RenderToPng(options, input, output);
    const std::string result = failure.empty() ? "+" : "-" + failure;
    if (send(results, result.data(), result.size(), MSG_NOSIGNAL) < 0) {
      break;
    }
  }
  _exit(0);
}

class Batch {
 public:
  explicit Batch(const RenderArguments& arguments)
      : arguments_(arguments), inputs_(arguments), outputs_(arguments.outDir) {}
  int Run();

 private:
  bool StartWorkers(int count);
  void SendNext();
  void TakeResults();
  void Fail(const std::string& line) {
    progress_.Report(line);
    failed_ = true;
  }

  const RenderArguments& arguments_;
  BatchInputs inputs_;
  OutputNames outputs_;
  Progress progress_;
  int tasks_ = -1;    // the parent's end: inputs out
  int results_ = -1;  // the parent's end: results in
  std::vector<pid_t> workers_;
  size_t done_ = 0;
  bool failed_ = false;
  bool resultsOpen_ = true;
};

bool Batch::StartWorkers(int count) {
  int taskPair[2];
  int resultPair[2];
  if (socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, taskPair) != 0) {
    return false;
  }
  if (socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, resultPair) != 0) {
    close(taskPair[0]);
    close(taskPair[1]);
    return false;
  }
  std::fflush(nullptr);  // nothing buffered is written twice
  for (int i = 0; i < count; ++i) {
    const pid_t pid = fork();
    if (pid == 0) {
      close(taskPair[0]);
      close(resultPair[0]);
      Work(arguments_.options, taskPair[1], resultPair[1]);
    }
    if (pid > 0) {
      workers_.push_back(pid);
    }
  }
  close(taskPair[1]);
  close(resultPair[1]);
  tasks_ = taskPair[0];
  results_ = resultPair[0];
  if (workers_.empty()) {
    close(tasks_);
    close(results_);
    return false;
  }
  return true;
}

// Hands the next input with a free output to a worker; the inputs end when
// there is none, and the workers then end too.
void Batch::SendNext() {
  std::string input;
  while (inputs_.Next(&input)) {
    std::string failure;
    const std::string output = outputs_.Claim(input, &failure);
    if (!output.empty() && input.size() + output.size() + 2 > MESSAGE_MAX) {
      failure = input + ": name too long";
    }
    if (!failure.empty()) {
      Fail(failure);
      ++done_;
      continue;
    }
    std::string message = input;
    message.append(1, '\0').append(output).append(1, '\0');
    ssize_t put = -1;
    do {
      put = send(tasks_, message.data(), message.size(), MSG_NOSIGNAL);
    } while (put < 0 && errno == EINTR);
    if (put < 0) {
      Fail(input + ": not rendered: " + std::strerror(errno));
      ++done_;
      continue;
    }
    return;
  }
  shutdown(tasks_, SHUT_WR);
  close(tasks_);
  tasks_ = -1;
}

void Batch::TakeResults() {
  std::vector<char> message(MESSAGE_MAX);
  for (;;) {
    const ssize_t got = recv(results_, message.data(), message.size(), MSG_DONTWAIT);
    if (got < 0 && errno == EINTR) {
      continue;
    }
    if (got < 0) {
      return;  // nothing more for now
    }
    if (got == 0) {
      resultsOpen_ = false;  // every worker has ended
      return;
    }
    ++done_;
    if (message[0] == '-') {
      Fail(std::string(message.data() + 1, static_cast<size_t>(got) - 1));
    }
  }
}

int Batch::Run() {
  const std::string refusal = OutDirRefusal(arguments_.outDir);
  if (!refusal.empty()) {
    Fail(refusal);
    return 1;
  }
  if (!StartWorkers(WorkerCount())) {
    Fail(std::string("no worker process could be started: ") + std::strerror(errno));
    return 1;
  }
  while (resultsOpen_) {
    pollfd fds[2] = {{results_, POLLIN, 0}, {tasks_, POLLOUT, 0}};
    const nfds_t count = tasks_ >= 0 ? 2 : 1;
    if (poll(fds, count, PROGRESS_TICK_MS) < 0 && errno != EINTR) {
      break;
    }
    if ((fds[0].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
      TakeResults();
    }
    if (tasks_ >= 0 && (fds[1].revents & (POLLOUT | POLLHUP | POLLERR)) != 0) {
      SendNext();
    }
    progress_.Done(done_, inputs_.Count(), inputs_.Exhausted());
  }
  if (tasks_ >= 0) {
    close(tasks_);
  }
  close(results_);
  for (const pid_t pid : workers_) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
  }
  // A worker that ended abnormally took its inputs' results with it.
  if (done_ < inputs_.Count() || !inputs_.Exhausted()) {
    Fail(std::to_string(inputs_.Count() - done_) +
         " input(s) not rendered: a worker process ended early");
  }
  return failed_ ? 1 : 0;
}

}  // namespace

bool StderrIsTerminal() { return isatty(STDERR_FILENO) != 0; }

int RunBatch(const RenderArguments& arguments) {
  Batch batch(arguments);
  return batch.Run();
}
