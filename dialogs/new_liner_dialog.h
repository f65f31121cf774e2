// New's gallery of formats: a thumbnail of each, drawn by the painter, with
// its name and card size.  The shipped formats come first, then the user's
// own; "Browse..." leaves the choice to the file dialog.
#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

class QListWidget;

// The format files the gallery offers: `defaultFormat` (when it exists), the
// shipped formats in `shippedFolder`, then the user's in `userFolder`, each
// folder's by name.
QStringList GalleryFormats(const QString& defaultFormat, const QString& shippedFolder, const QString& userFolder);

class NewLinerDialog : public QDialog {
    Q_OBJECT

public:
    // `current` (a file title such as "default.fmt") starts selected.
    NewLinerDialog(const QStringList& formats, const QString& current, QWidget* parent = nullptr);

    // The chosen format; empty after "Browse...".
    QString chosenPath() const { return chosen_; }
    bool browse() const { return browse_; }

private:
    void Choose();

    QListWidget* list_ = nullptr;
    QString chosen_;
    bool browse_ = false;
};
