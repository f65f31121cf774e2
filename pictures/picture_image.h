// Turning a PackedDib into pixels for drawing.
#pragma once

#include <QImage>

// The picture a PackedDib holds, as an RGB32 image the size of the bitmap.
// Colour-table entries are used as plain RGB; indices past the end of the
// table come out black.  A null image for a block that is not an
// uncompressed bitmap of 1, 4, 8, 16, 24 or 32 bits with a 12-byte or
// 40-byte (or longer) header, or that is too large to hold.
QImage PackedDibToImage(const void* dib);

class Surface;

// Draws the whole bitmap `image` stretched onto the rectangle at (x, y) of
// `width` by `height` twips in the surface's coordinates (a picture's `top`
// and `height` as stored, so that it runs downward).  False when the block is
// no bitmap PackedDibToImage can read; nothing is drawn then.
bool DrawPicture(Surface& surface, int x, int y, int width, int height, const void* image);

class DecodedPicture;

// Draws a decoded picture the same way; on a screen or an image through a
// copy scaled once to the size it lands on.
void DrawPicture(Surface& surface, int x, int y, int width, int height, DecodedPicture& picture);
