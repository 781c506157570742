// RenderScreen: the screen buffer drawn three times enlarged into the screen
// image, with attribute-seam marks over it.
#pragma once

#include <cstdint>

constexpr intptr_t SCREEN_IMAGE = 1;
constexpr int32_t PALETTE_UPPER_INDEX = 17;
constexpr int32_t CELL_COLOURS_UPPER_INDEX = 2;

// What RenderScreen reads: the program's screen buffer, Palette (16 Colours
// used) and CellColours (ink and paper of the cell being painted).
struct RenderState {
  const uint8_t* screen;
  const uint32_t* palette;
  uint32_t* cellColours;
};
void RenderSetState(const RenderState& state);

// The three buffers from the toolkit's memory services (screen zero-filled,
// palette filled), for programs that render without the viewer's start-up.
struct RenderBuffers {
  uint8_t* screen;
  uint32_t* palette;
  uint32_t* cellColours;
  bool Complete() const {
    return screen != nullptr && palette != nullptr && cellColours != nullptr;
  }
  RenderState State() const { return {screen, palette, cellColours}; }
};
RenderBuffers RenderBuffersAllocate();

// Fills entries 0..15 of a palette with the Spectrum's colours.
void PaletteFill(uint32_t* palette);

// Draws the picture into image 1; seam marks darkened for mode 0, white for
// any other. Always 0.
int32_t RenderScreen(int32_t seamColourMode);
