// The layer's rectangles: Win32's RECT, right and bottom edges exclusive, and
// the helpers that measure, move, clip and unite them. Only platform/posix
// uses it.
#pragma once

#include <algorithm>
#include <cstdint>

#include "platform/posix/win32_types.h"

namespace user {

inline LONG Width(const RECT& r) { return r.right - r.left; }
inline LONG Height(const RECT& r) { return r.bottom - r.top; }
inline bool IsEmpty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }
inline bool Contains(const RECT& r, POINT p) {
  return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

inline void Offset(RECT* r, LONG dx, LONG dy) {
  r->left += dx;
  r->right += dx;
  r->top += dy;
  r->bottom += dy;
}

// Answers whether the result holds any pixel; an empty intersection is RECT{}.
inline bool Intersect(RECT* out, const RECT& a, const RECT& b) {
  RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
         std::min(a.bottom, b.bottom)};
  if (IsEmpty(r)) {
    r = RECT{};
  }
  *out = r;
  return !IsEmpty(r);
}

// Grows `into` to cover `add` too; empty rectangles add nothing.
inline void Unite(RECT* into, const RECT& add) {
  if (IsEmpty(add)) {
    return;
  }
  if (IsEmpty(*into)) {
    *into = add;
    return;
  }
  into->left = std::min(into->left, add.left);
  into->top = std::min(into->top, add.top);
  into->right = std::max(into->right, add.right);
  into->bottom = std::max(into->bottom, add.bottom);
}

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
