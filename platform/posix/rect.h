// The layer's rectangles: Win32's RECT, right and bottom edges exclusive, and
// the helpers that measure, move, clip and unite them. Only platform/posix
// uses it.
#pragma once

#include <algorithm>
#include <cstdint>

#include "platform/posix/win32_types.h"

namespace user {

// Defined with the window part, their first user.
LONG Width(const RECT& r);
LONG Height(const RECT& r);
bool IsEmpty(const RECT& r);
void Offset(RECT* r, LONG dx, LONG dy);
// Both answer whether the result holds any pixel; an empty intersection is RECT{}.
bool Intersect(RECT* out, const RECT& a, const RECT& b);
void Unite(RECT* into, const RECT& add);

// The part of [left, right) x [top, bottom) inside `bounds`, or RECT{} when
// there is none. The edges are 64-bit so that sums of 32-bit coordinates can
// be clipped before they would overflow a RECT.
inline RECT Clipped(int64_t left, int64_t top, int64_t right, int64_t bottom, const RECT& bounds) {
  left = std::max<int64_t>(left, bounds.left);
  top = std::max<int64_t>(top, bounds.top);
  right = std::min<int64_t>(right, bounds.right);
  bottom = std::min<int64_t>(bottom, bounds.bottom);
  if (right <= left || bottom <= top) {
    return RECT{};
  }
  return RECT{static_cast<LONG>(left), static_cast<LONG>(top), static_cast<LONG>(right),
              static_cast<LONG>(bottom)};
}

}  // namespace user
