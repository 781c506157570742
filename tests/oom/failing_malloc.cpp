// A malloc that fails once, for LD_PRELOAD: KELPIE_FAIL_ALLOCATION=N makes the
// Nth allocating call from the start of main (malloc, calloc, realloc,
// memalign and their kin; operator new comes through malloc) return null with
// ENOMEM. What the C++ runtime allocates before main is not counted: nothing
// of ours could answer its failure. A program may also leave its own test
// scaffolding out of the count (FailingMallocPause). KELPIE_ALLOCATION_COUNT=
// FILE writes the number of calls counted to FILE at exit, so that a sweep
// knows the last point to fail. Blocks come from glibc's own allocator, so
// frees need no counting.
#include <dlfcn.h>
#include <malloc.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
void __libc_free(void* block);
}

namespace {

uint64_t calls = 0;
uint64_t failAt = 0;  // 0: never
bool counting = false;
int (*programMain)(int, char**, char**) = nullptr;

bool Refuse() {
  if (!counting) {
    return false;
  }
  if (++calls == failAt) {
    errno = ENOMEM;
    return true;
  }
  return false;
}

__attribute__((destructor)) void ReportCount() {
  const char* path = std::getenv("KELPIE_ALLOCATION_COUNT");
  if (path == nullptr) {
    return;
  }
  const uint64_t counted = calls;
  if (std::FILE* out = std::fopen(path, "w")) {
    std::fprintf(out, "%llu\n", static_cast<unsigned long long>(counted));
    std::fclose(out);
  }
}

// Counting starts with main.
int CountingMain(int argc, char** argv, char** environment) {
  const char* nth = std::getenv("KELPIE_FAIL_ALLOCATION");
  failAt = nth != nullptr ? std::strtoull(nth, nullptr, 10) : 0;
  counting = true;
  return programMain(argc, argv, environment);
}

}  // namespace

extern "C" {

using StartMain = int (*)(int (*)(int, char**, char**), int, char**, void (*)(), void (*)(),
                          void (*)(), void*);

int __libc_start_main(int (*main)(int, char**, char**), int argc, char** argv, void (*init)(),
                      void (*fini)(), void (*loaderFini)(), void* stackEnd) {
  auto real = reinterpret_cast<StartMain>(dlsym(RTLD_NEXT, "__libc_start_main"));
  programMain = main;
  return real(CountingMain, argc, argv, init, fini, loaderFini, stackEnd);
}

// Leaves the calls between pause and resume out of the count.
void FailingMallocPause(bool pause) { counting = !pause; }

void* malloc(size_t size) { return Refuse() ? nullptr : __libc_malloc(size); }
void* calloc(size_t count, size_t size) {
  return Refuse() ? nullptr : __libc_calloc(count, size);
}
// A refused realloc leaves the block as it was, as a real one does.
void* realloc(void* block, size_t size) {
  return Refuse() ? nullptr : __libc_realloc(block, size);
}
void free(void* block) { __libc_free(block); }
void* memalign(size_t alignment, size_t size) {
  return Refuse() ? nullptr : __libc_memalign(alignment, size);
}
void* aligned_alloc(size_t alignment, size_t size) { return memalign(alignment, size); }
int posix_memalign(void** out, size_t alignment, size_t size) {
  void* block = memalign(alignment, size);
  if (block == nullptr) {
    return ENOMEM;
  }
  *out = block;
  return 0;
}

}  // extern "C"
