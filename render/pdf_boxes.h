// The boxes a print shop's preflight reads: where each page's card is cut
// (TrimBox) and how far its printing runs past the cut (BleedBox).  Qt's PDF
// writer knows only the page (MediaBox), so they are added to its output
// afterwards with qpdf.
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

// A card on a page: its top-left corner and size in twips, measured from the
// page's top-left corner, and its bleed.
struct PdfCardBox {
    int x = 0, depth = 0, width = 0, height = 0;
    int bleed = 0;
};

// Adds a TrimBox (the card) and a BleedBox (the card and its bleed, kept
// within the page) to each page of `pdf` that has a card in `cards` (a page
// beyond the list, or with none, keeps only its MediaBox).  Everything else
// in the file is kept as it is, pictures included.  False, leaving `pdf`
// alone, when the file cannot be read or written.
bool AddPdfCardBoxes(QByteArray& pdf, const std::vector<std::optional<PdfCardBox>>& cards);

// The same for the PDF file at `path`, which is replaced only once the new
// one is whole.
bool AddPdfCardBoxesToFile(const QString& path, const std::vector<std::optional<PdfCardBox>>& cards);
