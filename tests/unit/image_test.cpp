// The image service: images under numbers, their bitmaps and formats, the one
// shared draw target, and freeing.
#include "toolkit/gfx/image.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "platform/win32.h"
#include "tests/support/runtime_fixture.h"
#include "toolkit/base/object.h"
#include "toolkit/gfx/draw.h"

namespace {

BITMAP InfoOf(HBITMAP bitmap) {
  BITMAP info{};
  GetObjectA(bitmap, static_cast<int>(sizeof info), &info);
  return info;
}

// Whether some context still holds the bitmap: GDI lets a bitmap into one
// context at a time.
bool HeldElsewhere(HBITMAP bitmap) {
  HDC dc = CreateCompatibleDC(nullptr);
  const HGDIOBJ old = SelectObject(dc, bitmap);
  if (old != nullptr) {
    SelectObject(dc, old);
  }
  DeleteDC(dc);
  return old == nullptr;
}

class ImageService : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static bool started = false;
    if (started) {
      return;
    }
    started = true;
    StartBaseServices();
    DrawLibraryInit();
    ImageLibraryInit();
  }
  void TearDown() override {
    DrawEnd();
    ImageLibraryEnd();
  }
};

TEST_F(ImageService, NewImagesHaveTheRequestedFormat) {
  const intptr_t handle = ImageCreate(1, 20, 7);
  ASSERT_NE(handle, 0);
  EXPECT_EQ(handle, reinterpret_cast<intptr_t>(ImageHandle(1)));
  const BITMAP display = InfoOf(ImageHandle(1));
  EXPECT_EQ(display.bmWidth, 20);
  EXPECT_EQ(display.bmHeight, 7);
  EXPECT_EQ(display.bmBitsPixel, 32);
  ASSERT_NE(DrawBegin(ImageDrawTarget(1)), nullptr);
  EXPECT_EQ(DrawReadPixel(0, 0), 0u);  // new images start black
  EXPECT_EQ(DrawReadPixel(19, 6), 0u);
  DrawEnd();

  // Explicit depths make DIB sections with rows padded to 4 bytes.
  const struct {
    int32_t depth;
    LONG rowBytes;
  } dibs[] = {{24, 2304}, {32, 3072}, {16, 1536}};
  for (const auto& d : dibs) {
    ASSERT_NE(ImageCreate(2, 768, 3, d.depth), 0) << d.depth;
    const BITMAP info = InfoOf(ImageHandle(2));
    EXPECT_EQ(info.bmWidthBytes, d.rowBytes);
    EXPECT_EQ(info.bmBitsPixel, d.depth);
    EXPECT_NE(info.bmBits, nullptr);
  }
}

TEST_F(ImageService, RefusesSizesAndDepthsThatMakeNoImage) {
  const struct {
    int32_t width, height, depth;
  } refused[] = {{0, 5, IMAGE_DEPTH_DISPLAY},
                 {5, 0, IMAGE_DEPTH_DISPLAY},
                 {-4, 5, IMAGE_DEPTH_DISPLAY},
                 {5, -4, 24},
                 {65536, 65536, IMAGE_DEPTH_DISPLAY},
                 {46341, 46341, IMAGE_DEPTH_DISPLAY},
                 {INT32_MAX, 2, 24},
                 {8, 8, 8},
                 {8, 8, 1}};
  for (const auto& r : refused) {
    SCOPED_TRACE(testing::Message() << r.width << "x" << r.height << "x" << r.depth);
    ASSERT_NE(ImageCreate(3, 4, 4), 0);
    const HBITMAP old = ImageHandle(3);
    // The number is taken first: the old image goes, and none replaces it.
    EXPECT_EQ(ImageCreate(3, r.width, r.height, r.depth), 0);
    EXPECT_EQ(ImageHandle(3), nullptr);
    EXPECT_EQ(GetObjectType(old), 0u);
    EXPECT_EQ(ImageCreate(OBJECT_ANY, r.width, r.height, r.depth), 0);
  }
  EXPECT_EQ(ImageCreate(-7, 4, 4), 0);
}

TEST_F(ImageService, ReusingANumberReplacesItsImage) {
  ASSERT_NE(ImageCreate(1, 4, 4), 0);
  ASSERT_NE(ImageCreate(5, 4, 4), 0);
  const intptr_t second = ImageCreate(1, 9, 2, 24);
  ASSERT_NE(second, 0);
  EXPECT_EQ(second, reinterpret_cast<intptr_t>(ImageHandle(1)));
  EXPECT_EQ(InfoOf(ImageHandle(1)).bmWidth, 9);
  EXPECT_NE(ImageHandle(5), nullptr);
  // A number far beyond the table's first slots grows it.
  ASSERT_NE(ImageCreate(40, 2, 2), 0);
  EXPECT_NE(ImageHandle(40), nullptr);
}

TEST_F(ImageService, DynamicNumbersWorkEverywhereAndFreeIgnoresNumbersWithoutAnImage) {
  const intptr_t a = ImageCreate(OBJECT_ANY, 6, 6);
  const intptr_t b = ImageCreate(OBJECT_ANY, 6, 6);
  ASSERT_NE(a, 0);
  ASSERT_NE(b, 0);
  EXPECT_NE(a, b);
  const HBITMAP handle = ImageHandle(a);
  ASSERT_NE(handle, nullptr);
  EXPECT_NE(a, reinterpret_cast<intptr_t>(handle));
  ASSERT_NE(DrawBegin(ImageDrawTarget(a)), nullptr);
  DrawBox(1, 1, 3, 3, 0xB4B2B4);
  EXPECT_EQ(DrawReadPixel(2, 2), 0xB4B2B4u);
  DrawEnd();
  ImageFree(a);
  EXPECT_EQ(GetObjectType(handle), 0u);
  int local = 0;
  for (intptr_t number : {a, OBJECT_ANY, intptr_t{2}, intptr_t{1000},
                          reinterpret_cast<intptr_t>(&local), intptr_t{-9}}) {
    ImageFree(number);
    EXPECT_EQ(ImageHandle(number), nullptr);
    EXPECT_EQ(ImageDrawTarget(number), nullptr);
  }
  EXPECT_EQ(GetObjectType(ImageHandle(b)), static_cast<DWORD>(OBJ_BITMAP));
}

TEST_F(ImageService, OneSharedDrawTargetHoldsOneContext) {
  ASSERT_NE(ImageCreate(1, 4, 4), 0);
  ASSERT_NE(ImageCreate(2, 4, 4), 0);
  const DrawTarget* first = ImageDrawTarget(1);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->kind, DRAW_TARGET_IMAGE);
  EXPECT_TRUE(HeldElsewhere(ImageHandle(1)));
  const DrawTarget* second = ImageDrawTarget(2);
  EXPECT_EQ(second, first);
  // The first context is gone: image 1 is free to go into another context.
  EXPECT_FALSE(HeldElsewhere(ImageHandle(1)));
  EXPECT_TRUE(HeldElsewhere(ImageHandle(2)));
  // The release operation (what DrawEnd calls) deletes the context too.
  second->release();
  EXPECT_FALSE(HeldElsewhere(ImageHandle(2)));

  // Asked for while a drawing is open on the previous target, the next one
  // ends that drawing and then stays usable through its own DrawEnd.
  ASSERT_NE(DrawBegin(ImageDrawTarget(1)), nullptr);
  const DrawTarget* target = ImageDrawTarget(2);
  ASSERT_NE(target, nullptr);
  EXPECT_EQ(DrawContext(), nullptr);
  EXPECT_EQ(DrawReadPixel(0, 0), 0xFFFFFFFFu);
  DrawEnd();
  ASSERT_EQ(DrawBegin(target), target->deviceContext);
  DrawBox(0, 0, 2, 2, 0x00FE00);
  EXPECT_EQ(DrawReadPixel(1, 1), 0x00FE00u);
}

TEST_F(ImageService, FreeingAnImageBeingDrawnWaitsForTheDrawing) {
  ASSERT_NE(ImageCreate(1, 8, 8), 0);
  const HBITMAP handle = ImageHandle(1);
  ASSERT_NE(DrawBegin(ImageDrawTarget(1)), nullptr);
  ImageFree(1);
  EXPECT_EQ(ImageHandle(1), nullptr);
  DrawBox(0, 0, 8, 8, 0xFC0000);
  EXPECT_EQ(DrawReadPixel(7, 7), 0xFC0000u);
  DrawEnd();
  EXPECT_EQ(GetObjectType(handle), 0u);
}

TEST_F(ImageService, LibraryEndFreesEveryImage) {
  ImageLibraryEnd();  // nothing to free
  ASSERT_NE(ImageCreate(1, 4, 4), 0);
  ASSERT_NE(ImageCreate(7, 4, 4, 24), 0);
  const intptr_t dynamic = ImageCreate(OBJECT_ANY, 4, 4);
  ASSERT_NE(dynamic, 0);
  const HBITMAP handles[] = {ImageHandle(1), ImageHandle(7), ImageHandle(dynamic)};
  ASSERT_NE(ImageDrawTarget(7), nullptr);  // its context must not keep image 7 alive
  ImageLibraryEnd();
  for (HBITMAP h : handles) {
    EXPECT_EQ(GetObjectType(h), 0u);
  }
  for (intptr_t number : {intptr_t{1}, intptr_t{7}, dynamic}) {
    EXPECT_EQ(ImageHandle(number), nullptr);
  }
}

}  // namespace
