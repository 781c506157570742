// Keyboard polling: the whole keyboard read as a snapshot of 256 key flags
// through DirectInput 7 (loaded at run time), and keys found released turned
// into characters through the thread's keyboard layout.
#pragma once

#include <cstdint>

#include "platform/win32.h"

// Non-zero when a keyboard device exists: 1 when this call made it, the
// DirectInput object's address when it existed already; 0 when there is none.
// The library starts with its first call; any number of calls may follow.
intptr_t KeyboardStart();
// 1 when a new snapshot was taken, 0 when the device gave none (or there is no
// device). A device that lost its acquisition is acquired again next time.
int32_t KeyboardPoll();
// String-valued (see StringAssignResult): the characters of the keys that are
// up in the latest snapshot after an earlier call found them down, in
// ascending scan-code order, at most one per key; "" while the device is not
// acquired. Holding a key yields nothing until it is released.
const char* KeyboardTypedChar(intptr_t start);
// Gives back the device and one DirectInput user; nothing before the first
// KeyboardStart.
void KeyboardLibraryEnd();

// The DirectInput object shared by the toolkit's input libraries, counted per
// user: null while DirectInput cannot be had (every call tries again).
IDirectInput7A* DirectInputAcquire();
void DirectInputRelease();
