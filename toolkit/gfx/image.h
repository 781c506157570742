// The image service: off-screen pictures under object numbers.
#pragma once

#include <cstdint>

#include "platform/win32.h"
#include "toolkit/gfx/draw.h"

constexpr int32_t IMAGE_DEPTH_DISPLAY = 128;

void ImageLibraryInit();
void ImageLibraryEnd();

// For a number >= 0 the bitmap handle, for OBJECT_ANY the new dynamic number;
// 0 on failure. Depth IMAGE_DEPTH_DISPLAY makes a bitmap in the display's own
// format; 16, 24 or 32 a bottom-up DIB section. Every pixel starts black. Other
// depths, empty or negative sizes, and sizes whose pixel memory would not fit
// a signed 32-bit byte count make no image; the number then names none.
intptr_t ImageCreate(intptr_t number, int32_t width, int32_t height,
                     int32_t depth = IMAGE_DEPTH_DISPLAY);
HBITMAP ImageHandle(intptr_t number);
// The service's one draw target, made ready for the image, or null. It
// releases the context of the previous call first, ending any drawing open on
// it.
const DrawTarget* ImageDrawTarget(intptr_t number);
void ImageFree(intptr_t number);
