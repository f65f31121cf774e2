// The liner on its own, at its true size, as files: a PNG image at a chosen
// resolution, a one-page PDF of the liner's size and an SVG drawing.  The
// liner is drawn as it prints (crop marks, cut and fold lines as it has
// them).  The program's Export command and reelcard-cli render share these.
#pragma once

#include <QImage>
#include <QString>

#include "document/liner.h"

class PictureImages;
class Prompter;

// What the painter needs besides the liner: the picture cache, where its
// messages go, and the armed song-fit warning.
struct ExportContext {
    PictureImages& pictures;
    Prompter& prompter;
    bool& songFitWarning;
};

// The image of the paper at `dpi`: its size in twips in whole pixels, and
// one pixel more for the right and bottom cut lines, which lie on its far
// edges.  Transparent around and between what is drawn, or white.
QSize LinerImageSize(const Liner& liner, int dpi);
QImage RenderLinerImage(Liner& liner, int dpi, bool transparent, const ExportContext& context);

// Writes `image` as a PNG file, replacing `path` only once it is whole.  No
// row filter and a light compression level: on the liner's large white
// areas and thin lines this writes several times faster than the library's
// defaults for files of about the same size.
bool WritePngFile(const QImage& image, const QString& path);

// The three files.  False when the file could not be written (nothing is
// left at `path` then, and an older file there is kept).
bool WriteLinerPng(Liner& liner, const QString& path, int dpi, bool transparent, const ExportContext& context);
// `resolution` is the PDF's drawing resolution; text stays text and the
// fonts are embedded.  With `bleed` (twips) above 0 the page is larger than
// the card by the bleed and room for crop marks on every side, the cut lines
// give way to the marks, and the PDF says where the card is cut (TrimBox)
// and how far it bleeds (BleedBox).
bool WriteLinerPdf(Liner& liner, const QString& path, int resolution, const ExportContext& context,
                   int bleed = 0);
// Lines as paths, text as text, in a drawing of the liner's size in
// millimetres.
bool WriteLinerSvg(Liner& liner, const QString& path, const ExportContext& context);
