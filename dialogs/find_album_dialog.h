// Text > Find Album Online... and the button of that name in Import Songs:
// an album's songs (and its front cover) from MusicBrainz and the Cover Art
// Archive, found by a search or by the CD in a drive, handed to Import Songs
// for the split across the tape.
#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <map>
#include <optional>
#include <vector>

#include "songs/covers.h"
#include "songs/disc_toc.h"
#include "songs/music_answers.h"
#include "songs/track_list.h"

class DialogHost;
class MusicLookup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class QWidget;

class FindAlbumDialog : public QDialog {
    Q_OBJECT

public:
    explicit FindAlbumDialog(QWidget* parent);
    ~FindAlbumDialog() override;

    // The songs of the chosen release and discs, with the album and its
    // artist; and its front cover, when the archive has one.  Set once the
    // dialog is accepted.
    const TrackImport& album() const { return album_; }
    const std::optional<CoverImage>& cover() const { return cover_; }

    // Where From a CD reads the table of contents; the drive's name is
    // empty for the default drive.  Tests answer for it.
    std::function<std::optional<DiscToc>(const QString& drive, QString* error)> readToc;

    // What the window says about the lookup: what it is waiting for, or
    // what failed.
    QString status() const;
    // Whether a lookup, a disc reading or a cover is still on its way.
    bool busy() const;

    void Search();
    void ReadDisc();
    // Shows the songs of release `row` of the list.
    void ChooseRelease(int row);
    // Fetches the front cover, then closes with the chosen songs.
    void UseTheseSongs();

    void done(int result) override;

private:
    struct Listed {
        ReleaseSummary summary;
        // From a disc-id answer the whole release is known at once.
        std::optional<Release> release;
    };

    void ClearResults();
    void ListReleases(std::vector<Listed> releases);
    void ShowRelease(const std::optional<Release>& release);
    void ShowTracks();
    std::vector<Track> ChosenTracks() const;
    void Say(const QString& text, bool failure = false);
    void Failed(int request, const QString& message);
    void CoverArrived(int request, const QByteArray& bytes);
    void Finish(std::optional<CoverImage> cover, const QString& note);
    void UpdateButtons();

    MusicLookup* lookup_ = nullptr;
    std::vector<Listed> listed_;
    std::optional<Release> shown_;       // the release whose songs are shown
    std::optional<DiscToc> toc_;         // the disc read, when the list came from one
    std::vector<QCheckBox*> discBoxes_;  // one a disc of the shown release
    std::map<int, QString> thumbnails_;  // cover request -> release id
    int searchRequest_ = 0, releaseRequest_ = 0, discRequest_ = 0, coverRequest_ = 0;
    bool readingDisc_ = false;
    int discReading_ = 0;  // which reading of the disc an answer belongs to
    bool filling_ = false;  // the release list is being filled
    TrackImport album_;
    std::optional<CoverImage> cover_;

    QLineEdit* query_ = nullptr;
    QPushButton* search_ = nullptr;
    QPushButton* fromCd_ = nullptr;
    QComboBox* drive_ = nullptr;
    QTableWidget* releases_ = nullptr;
    QWidget* discs_ = nullptr;
    QTableWidget* tracks_ = nullptr;
    QLabel* total_ = nullptr;
    QLabel* status_ = nullptr;
    QPushButton* use_ = nullptr;
};

// Text > Find Album Online...: the album found goes into Import Songs, which
// opens with its songs split across the tape (`saveLinerAs` as for Import
// Songs).
void FindAlbumCommand(DialogHost& host, const std::function<bool()>& saveLinerAs);
