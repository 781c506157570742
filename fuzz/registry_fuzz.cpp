// The object registry keeps what a shadow model of it keeps, through any
// sequence of creating (static numbers of any size, huge and negative ones
// included, and dynamic ones), freeing, reusing, looking up and iterating
// (with visits that free what they are given).
#include <algorithm>
#include <cstdlib>
#include <map>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "tests/support/runtime_fixture.h"
#include "toolkit/base/object.h"

namespace {

struct Record {
  uintptr_t handle;  // non-zero while live
  uint32_t tag;      // what the model expects to find
};

ObjectTable* table = nullptr;
std::map<intptr_t, uint32_t> live;     // static numbers and their tags
std::vector<intptr_t> dynamicNumbers;  // live dynamic numbers, oldest first
std::vector<intptr_t> deadDynamic;     // freed dynamic numbers, never to name anything again

void Check(bool ok) {
  if (!ok) {
    std::abort();
  }
}

void Forget(intptr_t number) {
  if (live.erase(number) != 0) {
    return;
  }
  const auto it = std::find(dynamicNumbers.begin(), dynamicNumbers.end(), number);
  Check(it != dynamicNumbers.end());
  dynamicNumbers.erase(it);
  deadDynamic.push_back(number);
}

void Release(intptr_t number) {
  if (ObjectLookup(table, number) == nullptr) {
    return;
  }
  Forget(number);
  ObjectFree(table, number);
}

// A static number: mostly small, sometimes at the edges of what a table or an
// intptr_t can hold. (Tables near their largest are left out: each would cost
// a second of zeroing and iterating.)
intptr_t Number(FuzzInput& in) {
  static const intptr_t kEdges[] = {
      -2,        INT32_MIN,     INTPTR_MIN, INTPTR_MAX, INTPTR_MAX - 15,
      INT32_MAX, INT32_MAX - 3, 1 << 20,    1000,       4095};
  const uint8_t kind = in.Byte();
  if (kind < 200) {
    return kind % 40;
  }
  if (kind < 240) {
    return kEdges[kind % (sizeof kEdges / sizeof kEdges[0])];
  }
  // Any 64-bit value, kept clear of the costly near-largest tables.
  const auto number = static_cast<intptr_t>(in.Int64());
  return number >= 4096 && number < (1 << 20) ? number % 4096 : number;
}

void Create(intptr_t number, uint32_t tag) {
  const int32_t before = ObjectSlotCount(table);
  auto* record = static_cast<Record*>(ObjectSlot(table, number));
  if (number == OBJECT_ANY) {
    Check(record != nullptr && record->handle == 0);
    const auto name = reinterpret_cast<intptr_t>(record);
    Check(name >= ObjectSlotCount(table));
    deadDynamic.erase(std::remove(deadDynamic.begin(), deadDynamic.end(), name), deadDynamic.end());
    dynamicNumbers.push_back(name);
    record->handle = 0x1000 + tag;
    record->tag = tag;
    return;
  }
  if (record == nullptr) {
    // Refused: only numbers beyond the table, which stays as it was.
    Check(number < 0 || number >= before);
    Check(ObjectSlotCount(table) == before);
    return;
  }
  Check(number >= 0 && number < ObjectSlotCount(table));
  Check(ObjectSlotCount(table) >= before);
  Check(live.count(number) == 0);  // the release routine freed the old object
  Check(record->handle == 0 && record->tag == 0);
  record->handle = 0x1000 + tag;
  record->tag = tag;
  live[number] = tag;
}

void CheckLookup(intptr_t number) {
  const auto* record = static_cast<const Record*>(ObjectLookup(table, number));
  const auto it = live.find(number);
  if (it != live.end()) {
    Check(record != nullptr && record->tag == it->second);
    return;
  }
  const bool dynamic =
      std::find(dynamicNumbers.begin(), dynamicNumbers.end(), number) != dynamicNumbers.end();
  Check(dynamic ? reinterpret_cast<intptr_t>(record) == number : record == nullptr);
}

// Every live object once, static numbers ascending, then dynamic oldest first;
// with `freeing`, each visit frees the object it is given.
std::vector<intptr_t> visited;
bool freeing = false;

void Visit(intptr_t number, void* record) {
  Check(ObjectLookup(table, number) == record);
  visited.push_back(number);
  if (freeing) {
    Release(number);
  }
}

void Iterate(bool freeAll) {
  std::vector<intptr_t> expected;
  expected.reserve(live.size() + dynamicNumbers.size());
  for (const auto& [number, tag] : live) {
    expected.push_back(number);
  }
  expected.insert(expected.end(), dynamicNumbers.begin(), dynamicNumbers.end());
  visited.clear();
  freeing = freeAll;
  ObjectForEach(table, Visit);
  Check(visited == expected);
  if (freeAll) {
    Check(live.empty() && dynamicNumbers.empty());
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool started = [] {
    StartBaseServices();
    return true;
  }();
  (void)started;
  // Tables live until their heap goes: each input gets a program heap of its own.
  HANDLE heap = HeapCreate(0, 4096, 0);
  RuntimeSetProgramHeap(heap);
  FuzzInput in(data, size);
  const int32_t growthStep = 1 + in.Byte() % 64;
  table = ObjectTableCreate(sizeof(Record), growthStep, Release);
  Check(table != nullptr && ObjectSlotCount(table) == growthStep);
  uint32_t tag = 0;
  for (int ops = 0; ops < 200 && !in.Empty(); ++ops) {
    const uint8_t op = in.Byte() % 8;
    if (op == 0 || op == 1) {
      Create(Number(in), ++tag);
    } else if (op == 2) {
      Create(OBJECT_ANY, ++tag);
    } else if (op == 3 || op == 4) {
      // Free a live object, dynamic or static, or any number at all (which
      // must leave every live object alone).
      const uint8_t pick = in.Byte();
      intptr_t number = Number(in);
      if (pick % 2 == 0 && !dynamicNumbers.empty()) {
        number = dynamicNumbers[pick / 2 % dynamicNumbers.size()];
      } else if (pick % 4 == 1 && !deadDynamic.empty()) {
        number = deadDynamic[pick / 4 % deadDynamic.size()];
      }
      if (ObjectLookup(table, number) != nullptr) {
        Forget(number);
      } else {
        Check(live.count(number) == 0);
      }
      ObjectFree(table, number);
    } else if (op == 5) {
      CheckLookup(Number(in));
      for (const intptr_t number : dynamicNumbers) {
        CheckLookup(number);
      }
      for (const intptr_t number : deadDynamic) {
        Check(ObjectLookup(table, number) == nullptr);
      }
    } else {
      Iterate(op == 7);
    }
  }
  ObjectFreeAll(table);
  Check(live.empty() && dynamicNumbers.empty());
  deadDynamic.clear();
  HeapDestroy(heap);
  return 0;
}
