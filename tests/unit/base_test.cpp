#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/support/runtime_fixture.h"
#include "toolkit/base/object.h"

namespace {

struct Record {
  uintptr_t handle;
  int32_t payload;
};

// Release routine of the test table: records which numbers it freed.
ObjectTable* table = nullptr;
std::vector<intptr_t> released;

void ReleaseRecord(intptr_t number) {
  if (ObjectLookup(table, number) == nullptr) {
    return;
  }
  released.push_back(number);
  ObjectFree(table, number);
}

Record* Make(intptr_t number, uintptr_t handle) {
  auto* record = static_cast<Record*>(ObjectSlot(table, number));
  if (record != nullptr) {
    record->handle = handle;
  }
  return record;
}

class ObjectTableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    StartBaseServices();
    table = ObjectTableCreate(sizeof(Record), 16, ReleaseRecord);
    ASSERT_NE(table, nullptr);
    released.clear();
  }
};

TEST_F(ObjectTableTest, GrowsBeyondTooLargeNumberWithZeroSlots) {
  Make(3, 0x33);
  ASSERT_NE(Make(20, 0x20), nullptr);
  EXPECT_EQ(ObjectSlotCount(table), 36);
  for (int n = 16; n < 36; ++n) {
    if (n != 20) {
      EXPECT_EQ(ObjectLookup(table, n), nullptr) << n;
    }
  }
  auto* kept = static_cast<Record*>(ObjectLookup(table, 3));
  ASSERT_NE(kept, nullptr);
  EXPECT_EQ(kept->handle, 0x33u);
}

TEST_F(ObjectTableTest, ReusingANumberReleasesItsObjectFirst) {
  Make(1, 0x11);
  auto* again = Make(1, 0x12);
  EXPECT_EQ(released, std::vector<intptr_t>{1});
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(static_cast<Record*>(ObjectLookup(table, 1))->handle, 0x12u);
  // A free number is handed out without a release.
  released.clear();
  Make(2, 0x21);
  EXPECT_TRUE(released.empty());
}

TEST_F(ObjectTableTest, FreeAndUnusedSlotsLookUpAsNull) {
  EXPECT_EQ(ObjectLookup(table, 5), nullptr);
  Make(5, 0x55);
  ObjectFree(table, 5);
  EXPECT_EQ(ObjectLookup(table, 5), nullptr);
  // A slot handed out but never given a handle is not a live object.
  ASSERT_NE(ObjectSlot(table, 6), nullptr);
  EXPECT_EQ(ObjectLookup(table, 6), nullptr);
}

TEST_F(ObjectTableTest, DynamicNumbersAreDistinctRecordAddresses) {
  Record* a = Make(OBJECT_ANY, 0xA);
  Record* b = Make(OBJECT_ANY, 0xB);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_NE(a, b);
  EXPECT_EQ(ObjectLookup(table, reinterpret_cast<intptr_t>(a)), a);
  EXPECT_EQ(ObjectLookup(table, reinterpret_cast<intptr_t>(b)), b);
  EXPECT_EQ(ObjectSlotCount(table), 16);
}

TEST_F(ObjectTableTest, NumbersThatNameNothingAreRejected) {
  Record* dynamic = Make(OBJECT_ANY, 0xD);
  const auto number = reinterpret_cast<intptr_t>(dynamic);
  Record stranger{0x99, 0};
  const auto strangerNumber = reinterpret_cast<intptr_t>(&stranger);

  EXPECT_EQ(ObjectSlot(table, -2), nullptr);
  EXPECT_EQ(ObjectLookup(table, -7), nullptr);
  EXPECT_EQ(ObjectLookup(table, strangerNumber), nullptr);
  ObjectFree(table, strangerNumber);  // must not touch it
  EXPECT_EQ(stranger.handle, 0x99u);

  ObjectFree(table, number);
  EXPECT_EQ(ObjectLookup(table, number), nullptr);
  ObjectFree(table, number);  // a second free of a dead number is harmless
  // A number too large for any table is refused rather than allocated, up to
  // the largest, whose slot count would not even fit the sum.
  for (const intptr_t huge : {intptr_t{INT32_MAX} - 3, INTPTR_MAX - 15, INTPTR_MAX}) {
    EXPECT_EQ(ObjectSlot(table, huge), nullptr) << huge;
    EXPECT_EQ(ObjectSlotCount(table), 16) << huge;
  }
}

TEST_F(ObjectTableTest, ForEachVisitsStaticAscendingThenDynamicOldestFirst) {
  Record* older = Make(OBJECT_ANY, 0x1);
  Make(9, 0x9);
  Record* newer = Make(OBJECT_ANY, 0x2);
  Make(2, 0x3);
  static std::vector<intptr_t> visited;
  visited.clear();
  ObjectForEach(table, [](intptr_t number, void*) { visited.push_back(number); });
  const std::vector<intptr_t> expected{2, 9, reinterpret_cast<intptr_t>(older),
                                       reinterpret_cast<intptr_t>(newer)};
  EXPECT_EQ(visited, expected);
}

TEST_F(ObjectTableTest, FreeAllReleasesEveryObjectOnceWhileVisiting) {
  Record* a = Make(OBJECT_ANY, 0x1);
  Make(0, 0x5);
  Make(15, 0x6);
  Record* b = Make(OBJECT_ANY, 0x2);
  Record* c = Make(OBJECT_ANY, 0x3);
  ObjectFreeAll(table);
  const std::vector<intptr_t> expected{0, 15, reinterpret_cast<intptr_t>(a),
                                       reinterpret_cast<intptr_t>(b),
                                       reinterpret_cast<intptr_t>(c)};
  EXPECT_EQ(released, expected);
  EXPECT_EQ(ObjectLookup(table, 0), nullptr);
  EXPECT_EQ(ObjectLookup(table, reinterpret_cast<intptr_t>(b)), nullptr);
  released.clear();
  ObjectFreeAll(table);
  EXPECT_TRUE(released.empty());
}

TEST(ListTest, AddsNewestFirstAndUnlinksFromAnyPosition) {
  StartBaseServices();
  ListNode* head = nullptr;
  void* first = ListAdd(&head, 8);
  void* second = ListAdd(&head, 8);
  void* third = ListAdd(&head, 8);
  ASSERT_TRUE(first && second && third);
  EXPECT_EQ(ListPayloadOf(head), third);
  EXPECT_EQ(static_cast<const unsigned char*>(second)[7], 0);  // zero-filled payload

  ListRemove(&head, second);  // middle
  EXPECT_EQ(ListPayloadOf(head->next), first);
  EXPECT_EQ(ListNodeOf(first)->previous, head);
  ListRemove(&head, third);  // newest
  EXPECT_EQ(ListPayloadOf(head), first);
  EXPECT_EQ(head->previous, nullptr);
  ListRemove(&head, first);  // last
  EXPECT_EQ(head, nullptr);
}

TEST(MemoryTest, AllocatesZeroFilledBlocksAndRefusesNonPositiveSizes) {
  StartBaseServices();
  EXPECT_EQ(MemoryAllocate(0), nullptr);
  EXPECT_EQ(MemoryAllocate(-5), nullptr);
  auto* block = static_cast<unsigned char*>(MemoryAllocate(6912));
  ASSERT_NE(block, nullptr);
  for (int i = 0; i < 6912; ++i) {
    ASSERT_EQ(block[i], 0) << i;
  }
}

TEST(MemoryTest, ArraysHaveUpperIndexPlusOneZeroElementsBehindTheirHeader) {
  StartBaseServices();
  uint32_t* colours = nullptr;
  ArrayAllocate(2, 4, 0, reinterpret_cast<void**>(&colours), 5);
  ASSERT_NE(colours, nullptr);
  EXPECT_EQ(colours[0] | colours[1] | colours[2], 0u);
  const ArrayHeader* header = ArrayHeaderOf(colours);
  EXPECT_EQ(header->one, 1);
  EXPECT_EQ(header->elementSize, 4);
  EXPECT_EQ(header->upperIndex, 2);
  EXPECT_EQ(header->typeCode, 5);
  EXPECT_EQ(header->variable, reinterpret_cast<void**>(&colours));
  ArrayFree(colours);
  ArrayFree(nullptr);

  void* refused = &colours;
  ArrayAllocate(-2, 4, 0, &refused, 5);
  EXPECT_EQ(refused, nullptr);
}

TEST(StringTest, EqualityTreatsNullAsEmptyAndIsCaseSensitive) {
  EXPECT_EQ(StringEqual(nullptr, ""), 1);
  EXPECT_EQ(StringEqual(nullptr, nullptr), 1);
  EXPECT_EQ(StringEqual("a", "A"), 0);
  EXPECT_EQ(StringEqual(" ", " "), 1);
  EXPECT_EQ(StringEqual("a ", "a"), 0);
  EXPECT_EQ(StringEqual("\xE9", "\xE9"), 1);
}

TEST(StringTest, AssignCopiesAndNullFrees) {
  StartBaseServices();
  char* value = nullptr;
  char text[] = "Kelpie";
  StringAssign(&value, text);
  text[0] = 'X';
  EXPECT_STREQ(value, "Kelpie");
  StringAssign(&value, value + 3);  // text from inside its own block
  EXPECT_STREQ(value, "pie");
  StringAssign(&value, nullptr);
  EXPECT_EQ(value, nullptr);
}

// A string-valued operation as the toolkit writes them: reserve, write, give
// back what it did not use, terminate.
intptr_t Produce(const char* text, intptr_t reserve) {
  const intptr_t start = ScratchPosition();
  char* out = ScratchReserve(reserve, start);
  const auto length = static_cast<intptr_t>(std::strlen(text));
  std::memcpy(out, text, static_cast<size_t>(length));
  ScratchGiveBack(reserve - length);
  out[length] = '\0';
  return start;
}

TEST(StringTest, ResultsComeOutOfTheScratchAreaWhichGrowsOnDemand) {
  StartBaseServices();
  const intptr_t before = ScratchPosition();
  char* value = nullptr;
  StringAssignResult(&value, Produce("short", 8));
  EXPECT_STREQ(value, "short");
  EXPECT_EQ(ScratchPosition(), before);

  std::string large(40000, 'k');
  StringAssignResult(&value, Produce(large.c_str(), 40010));
  EXPECT_EQ(std::string(value), large);
  EXPECT_EQ(ScratchPosition(), before);

  StringAssignResult(&value, Produce("", 4));
  ASSERT_NE(value, nullptr);  // an empty result is a block holding ""
  EXPECT_STREQ(value, "");
  EXPECT_EQ(ScratchPosition(), before);
}

}  // namespace
