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

// Fills entries 0..15 of a palette with the Spectrum's colours.
void PaletteFill(uint32_t* palette);

// Draws the picture into image 1; seam marks darkened for mode 0, white for
// any other. Always 0.
int32_t RenderScreen(int32_t seamColourMode);
