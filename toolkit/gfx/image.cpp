#include "toolkit/gfx/image.h"

#include <cstdint>
#include <utility>

#include "toolkit/base/memory.h"
#include "toolkit/base/object.h"

namespace {

struct ImageRecord {
  HBITMAP handle;  // non-zero while the image lives; ImageFree also takes an icon here
  uint16_t width;  // as the platform reports them for the finished bitmap
  uint16_t height;
  uint8_t depth;  // bmBitsPixel
  uint8_t flags;  // IMAGE_DEPTH_DISPLAY for a bitmap in the display's format
};

// The one draw target that ImageDrawTarget hands out, and the memory context
// made for it last.
struct ImageState {
  HDC serviceContext;
  DrawTarget target;
};

constexpr int32_t kTableStep = 16;

ObjectTable* imageTable = nullptr;
ImageState* imageState = nullptr;

ImageRecord* Lookup(intptr_t number) {
  return static_cast<ImageRecord*>(ObjectLookup(imageTable, number));
}

// Deletes the service drawing context; also the draw target's release
// operation. A drawing still open on the context is ended first, so that it
// cannot go on drawing into a bitmap whose context is gone, nor later release
// a context made after this one.
void ReleaseServiceContext() {
  if (imageState == nullptr || imageState->serviceContext == nullptr) {
    return;
  }
  HDC dc = std::exchange(imageState->serviceContext, nullptr);
  if (DrawContext() == dc) {
    DrawEnd();
  }
  DeleteDC(dc);
}

bool DepthSupported(int32_t depth) {
  return depth == IMAGE_DEPTH_DISPLAY || depth == 16 || depth == 24 || depth == 32;
}

// Sizes whose pixel memory (rows padded to 4 bytes) would not fit a signed
// 32-bit byte count make no image, nor do empty or negative ones.
bool SizeSupported(int32_t width, int32_t height, int32_t depth) {
  if (width <= 0 || height <= 0) {
    return false;
  }
  const int64_t bits = depth == IMAGE_DEPTH_DISPLAY ? 32 : depth;
  const int64_t rowBytes = (width * bits + 31) / 32 * 4;
  return rowBytes <= INT32_MAX / height;
}

HBITMAP MakeBitmap(int32_t width, int32_t height, int32_t depth) {
  HDC display = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
  if (display == nullptr) {
    return nullptr;
  }
  HBITMAP bitmap;
  if (depth == IMAGE_DEPTH_DISPLAY) {
    bitmap = CreateCompatibleBitmap(display, width, height);
  } else {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;  // positive: rows stored bottom-up
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = static_cast<WORD>(depth);
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    bitmap = CreateDIBSection(display, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  }
  DeleteDC(display);
  return bitmap;
}

void PaintBlack(HBITMAP bitmap, int32_t width, int32_t height) {
  HDC memory = CreateCompatibleDC(nullptr);
  if (memory == nullptr) {
    return;
  }
  SelectObject(memory, bitmap);
  const RECT all{0, 0, width, height};
  FillRect(memory, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  DeleteDC(memory);
}

}  // namespace

void ImageLibraryInit() {
  imageTable = ObjectTableCreate(sizeof(ImageRecord), kTableStep, ImageFree);
  imageState = static_cast<ImageState*>(ServiceStateCreate(sizeof(ImageState), nullptr));
}

void ImageLibraryEnd() {
  // The service context would otherwise keep its bitmap alive.
  ReleaseServiceContext();
  ObjectFreeAll(imageTable);
}

intptr_t ImageCreate(intptr_t number, int32_t width, int32_t height, int32_t depth) {
  // Taking the slot frees whatever image held the number.
  auto* record = static_cast<ImageRecord*>(ObjectSlot(imageTable, number));
  if (record == nullptr) {
    return 0;
  }
  const intptr_t name = number == OBJECT_ANY ? reinterpret_cast<intptr_t>(record) : number;
  HBITMAP bitmap = DepthSupported(depth) && SizeSupported(width, height, depth)
                       ? MakeBitmap(width, height, depth)
                       : nullptr;
  if (bitmap == nullptr) {
    ObjectFree(imageTable, name);
    return 0;
  }
  PaintBlack(bitmap, width, height);
  BITMAP info{};
  GetObjectA(bitmap, static_cast<int>(sizeof info), &info);
  record->handle = bitmap;
  record->width = static_cast<uint16_t>(info.bmWidth);
  record->height = static_cast<uint16_t>(info.bmHeight);
  record->depth = static_cast<uint8_t>(info.bmBitsPixel);
  record->flags = depth == IMAGE_DEPTH_DISPLAY ? IMAGE_DEPTH_DISPLAY : 0;
  return number == OBJECT_ANY ? name : reinterpret_cast<intptr_t>(bitmap);
}

HBITMAP ImageHandle(intptr_t number) {
  const ImageRecord* record = Lookup(number);
  return record != nullptr ? record->handle : nullptr;
}

const DrawTarget* ImageDrawTarget(intptr_t number) {
  ReleaseServiceContext();
  const ImageRecord* record = Lookup(number);
  if (record == nullptr || imageState == nullptr) {
    return nullptr;
  }
  HDC dc = CreateCompatibleDC(nullptr);
  if (dc == nullptr) {
    return nullptr;
  }
  if (SelectObject(dc, record->handle) == nullptr) {
    DeleteDC(dc);
    return nullptr;
  }
  imageState->serviceContext = dc;
  imageState->target = DrawTarget{DRAW_TARGET_IMAGE, nullptr, dc, ReleaseServiceContext, {}};
  return &imageState->target;
}

void ImageFree(intptr_t number) {
  if (number == OBJECT_ANY) {
    return;
  }
  ImageRecord* record = Lookup(number);
  if (record == nullptr) {
    return;
  }
  if (GetObjectType(record->handle) == OBJ_BITMAP) {
    DeleteObject(record->handle);
  } else {
    DestroyIcon(reinterpret_cast<HICON>(record->handle));
  }
  ObjectFree(imageTable, number);
}
