#pragma once
#include <cairo.h>

// Resamples part of a premultiplied 32-bit image to a new pixel size:
// area averaging when shrinking (every source pixel counts by the area it
// covers, so thin lines and small text stay even), linear interpolation
// when enlarging, an exact copy at the same size. Edges repeat the outermost pixels, so the
// part never takes colour from its neighbours in the image.
// Returns a new image surface of dw x dh pixels, or null on bad input.
cairo_surface_t* ResampleImage(cairo_surface_t* source, int sx, int sy, int sw, int sh, int dw, int dh);
