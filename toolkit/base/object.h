// Object tables: each service's registry of objects under numbers.
//
// A static number n (0 <= n < slot count) names slot n of the slot array; -1
// (OBJECT_ANY) asks for a new dynamically numbered object whose number is the
// address of its record. The first pointer-sized word of every slot record is
// the object's platform handle, non-zero exactly while the object lives.
#pragma once

#include <cstddef>
#include <cstdint>

#include "toolkit/base/list.h"

constexpr intptr_t OBJECT_ANY = -1;

using ObjectRelease = void (*)(intptr_t number);
using ObjectVisit = void (*)(intptr_t number, void* record);

struct ObjectTable;

// A table of `growthStep` zero slots of `slotSize` bytes, or null.
ObjectTable* ObjectTableCreate(size_t slotSize, int32_t growthStep, ObjectRelease release);

// The slot for a new object under `number`: first frees (through the release
// routine) whatever held it, growing the table when the number lies beyond it.
// Null when the number names nothing usable or memory runs out.
void* ObjectSlot(ObjectTable* table, intptr_t number);
// The live record under `number`, or null.
void* ObjectLookup(ObjectTable* table, intptr_t number);
// Gives the slot back (the platform object must already be gone).
void ObjectFree(ObjectTable* table, intptr_t number);
// Visits every live object: static numbers ascending, then dynamic ones oldest
// first. `visit` may free the object it is given.
void ObjectForEach(ObjectTable* table, ObjectVisit visit);
// Calls the release routine for every live object.
void ObjectFreeAll(ObjectTable* table);

int32_t ObjectSlotCount(const ObjectTable* table);
