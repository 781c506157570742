// What the toolkit's libraries keep on Win32 windows, and the one conversion
// they all need to read it back.
#pragma once

#include <cstdint>

// Win32 hands handles, pointers and procedures about in pointer-sized integers.
template <typename T>
T FromWord(intptr_t value) {
  return reinterpret_cast<T>(value);  // NOLINT(performance-no-int-to-ptr)
}

// Window properties that more than one library sets or reads.
inline constexpr char kWindowIdProperty[] = "Fx_WindowID";  // toolkit window number + 1
inline constexpr char kGadgetIdProperty[] = "Fx_ID";        // gadget number
inline constexpr char kDropAcceptProperty[] = "Fx_DropAccept";
