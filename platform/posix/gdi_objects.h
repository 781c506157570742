// The records behind GDI's handles, shared by the two files of GDI: gdi.cpp
// (the objects, contexts and their state) and gdi_draw.cpp (pixels and
// drawing). Nothing outside platform/posix includes this.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/posix/gdi.h"
#include "platform/posix/win32_types.h"

namespace gdi {

enum class Kind : uint8_t { Dc, Bitmap, Brush, Pen, Font };

struct Object {
  explicit Object(Kind k) : kind(k) {}
  Kind kind;
  bool stock = false;
  bool deletePending = false;  // DeleteObject came while it was selected
  int selections = 0;          // device contexts that hold it
};

struct Bitmap : Object {
  Bitmap() : Object(Kind::Bitmap) {}
  LONG width = 0;
  LONG height = 0;
  WORD bitsPixel = 0;  // 1, 16, 24 or 32
  bool dib = false;
  bool topDown = true;
  size_t stride = 0;  // bytes per row
  uint8_t* bits = nullptr;
  // A window's share of a surface that GDI does not own (GdiCreateSurfaceDC):
  // pixels left of clipLeft or above clipTop are not the context's.
  bool external = false;
  LONG clipLeft = 0;
  LONG clipTop = 0;
};

struct Brush : Object {
  Brush() : Object(Kind::Brush) {}
  bool null = false;
  COLORREF colour = 0;
};

struct Pen : Object {
  Pen() : Object(Kind::Pen) {}
  bool null = false;
  COLORREF colour = 0;
};

// Fonts are names only: nothing here draws text.
struct Font : Object {
  Font() : Object(Kind::Font) {}
};

struct Dc : Object {
  Dc() : Object(Kind::Dc) {}
  bool memory = false;
  Bitmap* bitmap = nullptr;  // always set for a memory context
  Brush* brush = nullptr;
  Pen* pen = nullptr;
  Font* font = nullptr;
  int rop2 = R2_COPYPEN;
  int bkMode = OPAQUE;
  COLORREF bkColour = 0xFFFFFF;
  COLORREF textColour = 0;
  UINT textAlign = TA_NOUPDATECP;
};

// The record behind a handle, stock objects included; null for anything else.
Object* Find(const void* handle);

template <typename T>
T* FindAs(const void* handle, Kind kind) {
  Object* object = Find(handle);
  return object != nullptr && object->kind == kind ? static_cast<T*>(object) : nullptr;
}

Dc* FindDc(HDC dc);

// A context takes hold of an object, which DeleteObject then leaves to it.
void Hold(Object* object);

// A new context holding the default objects (and, for a memory context, the
// stock bitmap); null when memory runs out.
Dc* NewDc(bool memory);

}  // namespace gdi
