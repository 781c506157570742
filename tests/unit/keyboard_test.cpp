// Keyboard library life cycle against the platform's DirectInput: the device
// made once and then only counted, the data format DirectInput accepts, polls
// before and after a device exists, and starting again after the end routine.
// Nobody presses keys here; typed text is tested where keys can be injected.

#include "toolkit/input/keyboard.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/runtime_fixture.h"

namespace {

std::string Typed() {
  return TakeResult([](intptr_t start) { KeyboardTypedChar(start); });
}

TEST(KeyboardTest, LifeCycle) {
  StartBaseServices();
  // Without a device a poll takes nothing and no text comes.
  EXPECT_EQ(KeyboardPoll(), 0);
  EXPECT_EQ(Typed(), "");

  // The first start makes the device (DirectInput accepted our format); later
  // ones only count one more user and answer the DirectInput object.
  ASSERT_EQ(KeyboardStart(), 1);
  const intptr_t again = KeyboardStart();
  IDirectInput7A* directInput = DirectInputAcquire();
  ASSERT_NE(directInput, nullptr);
  EXPECT_EQ(again, reinterpret_cast<intptr_t>(directInput));
  DirectInputRelease();

  // Made but not acquired yet: no text before the first poll. Whether a poll
  // succeeds depends on which window is in front; either way nothing was
  // pressed, so no text comes.
  EXPECT_EQ(Typed(), "");
  for (int i = 0; i < 3; ++i) {
    KeyboardPoll();
    EXPECT_EQ(Typed(), "");
  }

  // The end routine gives the device back; a later start makes a new one
  // rather than polling the one given back.
  KeyboardLibraryEnd();
  EXPECT_EQ(KeyboardPoll(), 0);
  EXPECT_EQ(Typed(), "");
  EXPECT_EQ(KeyboardStart(), 1);
  KeyboardLibraryEnd();
  KeyboardLibraryEnd();  // a second end has nothing left to give back
  EXPECT_EQ(KeyboardPoll(), 0);
}

TEST(KeyboardTest, DirectInputObjectIsSharedWhileItHasUsers) {
  StartBaseServices();
  IDirectInput7A* first = DirectInputAcquire();
  ASSERT_NE(first, nullptr);
  IDirectInput7A* second = DirectInputAcquire();
  EXPECT_EQ(second, first);
  DirectInputRelease();
  DirectInputRelease();
  // Whether or not that was the last user, DirectInput can be had again.
  IDirectInput7A* later = DirectInputAcquire();
  EXPECT_NE(later, nullptr);
  DirectInputRelease();
}

}  // namespace
