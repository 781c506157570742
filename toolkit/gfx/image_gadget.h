// The image gadget: a STATIC control that shows a bitmap (or an icon) unscaled
// at its top-left corner and takes its size, repainting at once whenever it is
// handed an image again (GadgetSetState).
#pragma once

#include <cstdint>

#include "platform/win32.h"

// For a number >= 0 the control's window, for OBJECT_ANY the new dynamic
// number; 0 on failure (a gadget already under the number then survives).
// width and height are the initial size only: the gadget takes the image's.
intptr_t GadgetImageCreate(intptr_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                           HANDLE image, DWORD extendedStyle = 0);
