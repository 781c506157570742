#include "toolkit/base/object.h"

#include <cstring>

#include "toolkit/base/runtime.h"

struct ObjectTable {
  size_t slotSize;
  int32_t growthStep;
  int32_t slotCount;
  ListNode* dynamicHead;
  ObjectRelease release;
  int32_t iterationIndex;
  ListNode* iterationCursor;
  unsigned char* slots;
};

namespace {

// A table never grows past this many slots: a number so large is a mistake,
// not a request for gigabytes of zeroed slots.
constexpr int64_t kMaxSlots = int64_t{1} << 20;

bool RecordIsLive(const void* record) {
  uintptr_t handle;
  std::memcpy(&handle, record, sizeof handle);
  return handle != 0;
}

bool IsStatic(const ObjectTable* table, intptr_t number) {
  return number >= 0 && number < table->slotCount;
}

void* StaticSlot(const ObjectTable* table, intptr_t number) {
  return table->slots + static_cast<size_t>(number) * table->slotSize;
}

// Dynamic numbers are record addresses; only ones that the table handed out
// and has not freed since name anything.
ListNode* FindDynamic(const ObjectTable* table, intptr_t number) {
  for (ListNode* node = table->dynamicHead; node != nullptr; node = node->next) {
    if (reinterpret_cast<intptr_t>(ListPayloadOf(node)) == number) {
      return node;
    }
  }
  return nullptr;
}

// Refuses a number whose table would pass kMaxSlots; checked before the sum,
// which could overflow for a number near INTPTR_MAX.
bool Grow(ObjectTable* table, intptr_t number) {
  if (number > kMaxSlots - table->growthStep) {
    return false;
  }
  const int64_t count = static_cast<int64_t>(number) + table->growthStep;
  if (static_cast<uint64_t>(count) > SIZE_MAX / table->slotSize) {
    return false;
  }
  const size_t bytes = static_cast<size_t>(count) * table->slotSize;
  void* grown = HeapReAlloc(ProgramHeap(), HEAP_ZERO_MEMORY, table->slots, bytes);
  if (grown == nullptr) {
    return false;
  }
  table->slots = static_cast<unsigned char*>(grown);
  table->slotCount = static_cast<int32_t>(count);
  return true;
}

}  // namespace

ObjectTable* ObjectTableCreate(size_t slotSize, int32_t growthStep, ObjectRelease release) {
  if (slotSize < sizeof(uintptr_t) || growthStep <= 0) {
    return nullptr;
  }
  auto* table = static_cast<ObjectTable*>(ProgramAllocate(sizeof(ObjectTable)));
  if (table == nullptr) {
    return nullptr;
  }
  table->slots = static_cast<unsigned char*>(ProgramAllocate(slotSize * growthStep));
  if (table->slots == nullptr) {
    ProgramFree(table);
    return nullptr;
  }
  table->slotSize = slotSize;
  table->growthStep = growthStep;
  table->slotCount = growthStep;
  table->release = release;
  return table;
}

void* ObjectSlot(ObjectTable* table, intptr_t number) {
  if (table == nullptr || number < OBJECT_ANY) {
    return nullptr;
  }
  if (number == OBJECT_ANY) {
    return ListAdd(&table->dynamicHead, table->slotSize);
  }
  if (number >= table->slotCount && !Grow(table, number)) {
    return nullptr;
  }
  if (table->release != nullptr) {
    table->release(number);
  }
  void* slot = StaticSlot(table, number);
  // A release routine that left the slot in use must not hand it out twice.
  std::memset(slot, 0, table->slotSize);
  return slot;
}

void* ObjectLookup(ObjectTable* table, intptr_t number) {
  if (table == nullptr || number < 0) {
    return nullptr;
  }
  void* record = nullptr;
  if (IsStatic(table, number)) {
    record = StaticSlot(table, number);
  } else if (ListNode* node = FindDynamic(table, number)) {
    record = ListPayloadOf(node);
  }
  return record != nullptr && RecordIsLive(record) ? record : nullptr;
}

void ObjectFree(ObjectTable* table, intptr_t number) {
  if (table == nullptr || number < 0) {
    return;
  }
  if (IsStatic(table, number)) {
    std::memset(StaticSlot(table, number), 0, table->slotSize);
    return;
  }
  if (ListNode* node = FindDynamic(table, number)) {
    if (table->iterationCursor == node) {
      table->iterationCursor = node->previous;
    }
    ListRemove(&table->dynamicHead, ListPayloadOf(node));
  }
}

namespace {

// Static numbers ascending, then dynamic objects oldest first. Index and
// cursor move on before the visit, so a visit may free what it is given.
template <typename Visit>
void ForEachLive(ObjectTable* table, Visit visit) {
  table->iterationIndex = 0;
  table->iterationCursor = table->dynamicHead;
  while (table->iterationCursor != nullptr && table->iterationCursor->next != nullptr) {
    table->iterationCursor = table->iterationCursor->next;
  }
  while (table->iterationIndex < table->slotCount) {
    const int32_t number = table->iterationIndex++;
    void* record = StaticSlot(table, number);
    if (RecordIsLive(record)) {
      visit(number, record);
    }
  }
  while (table->iterationCursor != nullptr) {
    ListNode* node = table->iterationCursor;
    table->iterationCursor = node->previous;
    void* record = ListPayloadOf(node);
    visit(reinterpret_cast<intptr_t>(record), record);
  }
}

}  // namespace

void ObjectForEach(ObjectTable* table, ObjectVisit visit) {
  if (table != nullptr && visit != nullptr) {
    ForEachLive(table, visit);
  }
}

void ObjectFreeAll(ObjectTable* table) {
  if (table == nullptr || table->release == nullptr) {
    return;
  }
  ObjectRelease release = table->release;
  ForEachLive(table, [release](intptr_t number, void*) { release(number); });
}

int32_t ObjectSlotCount(const ObjectTable* table) {
  return table != nullptr ? table->slotCount : 0;
}
