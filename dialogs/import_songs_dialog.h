// Text > Import Songs...: the songs of playlists, cue sheets, audio files
// and folders, split across the sides of a tape, put into both song texts at
// once.  Text > Fit Songs, and the live total of a song text dialog.
#pragma once

#include <QDialog>
#include <functional>
#include <optional>

#include "songs/covers.h"
#include "songs/song_rows.h"
#include "songs/tape_split.h"
#include "songs/track_list.h"

class FontTextEdit;
class DialogHost;
class LinerDocument;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTableWidget;

class ImportSongsDialog : public QDialog {
    Q_OBJECT

public:
    explicit ImportSongsDialog(DialogHost& host);

    // What an Add button asks for.
    enum class SourceKind { Files, Folder, Playlist };

    // Reads more sources and puts their songs after those already listed.
    // The reading runs off the window's thread; a long one shows its
    // progress with Cancel.  False (the list unchanged, the user told why
    // unless they cancelled) when one cannot be read.
    bool AddSources(const QStringList& sources);
    // The file chooser behind each Add button; tests answer for it.
    std::function<QStringList(SourceKind)> choose;

    // OK: both song texts (and an empty title) replaced in one change.
    bool Apply();

    // The cover the dialog will use, shown in its thumbnail; std::nullopt
    // for none.  It stands in place of the one found in the files, and
    // songs added later do not change it.
    void SetCover(std::optional<CoverImage> cover);
    const std::optional<CoverImage>& cover() const { return cover_; }
    // The chooser behind Change...; tests answer for it.
    std::function<QString()> chooseCover;
    // Where the cover goes: the choices for the songs as listed ("no cover"
    // first) and the one chosen.
    const std::vector<CoverArea>& coverAreas() const { return areas_; }
    size_t coverArea() const;
    void SetCoverArea(size_t index);
    // File > Save As, for a liner that has no file yet to put the cover
    // beside; true when it was saved.  Without it the user is asked to save
    // such a liner first (or to choose None).
    std::function<bool()> saveLinerAs;

    const std::vector<Track>& tracks() const { return tracks_; }
    size_t sideACount() const { return sideACount_; }
    std::optional<TapeLength> tape() const;
    // The rows as they would be stored.
    std::optional<SongTexts> Texts() const;

    void MoveRow(int row, int by);
    void MoveToOtherSide(int row);
    void RemoveRow(int row);

private:
    std::optional<TrackImport> Read(const QStringList& sources, TrackListError* error,
                                    std::optional<CoverImage>* found);
    void ShowCover();
    void ChangeCover();
    void UpdateCoverAreas(const std::optional<SongTexts>& texts);
    bool LinerPathForCover(QString* path, bool* withCover);
    void Refresh();
    void UpdateRowButtons();
    void ChooseMore(SourceKind kind);
    void SongsChanged();
    void SelectTapeFor(const std::vector<int>& lengths);
    std::vector<int> Lengths() const;

    DialogHost& host_;
    LinerDocument& document_;
    TrackImport import_;
    std::vector<Track> tracks_;
    size_t sideACount_ = 0;
    bool manual_ = false;         // sides were changed by hand
    bool tapePicked_ = false;     // the tape was chosen by the user, now or at the last import
    bool artistTouched_ = false;  // the Artist box was set by the user
    bool refreshing_ = false;
    std::optional<CoverImage> cover_;
    bool coverChosen_ = false;  // set by the user or SetCover: imports leave it
    std::vector<CoverArea> areas_;
    std::optional<CoverArea> areaPicked_;  // chosen by the user: kept while the songs leave it free

    QTableWidget* list_ = nullptr;
    QComboBox* tape_ = nullptr;
    QSpinBox* minutes_ = nullptr;
    QRadioButton* balanced_ = nullptr;
    QRadioButton* fillA_ = nullptr;
    QLabel* totalA_ = nullptr;
    QLabel* totalB_ = nullptr;
    QPlainTextEdit* notes_ = nullptr;
    QPushButton* up_ = nullptr;
    QPushButton* down_ = nullptr;
    QPushButton* other_ = nullptr;
    QPushButton* remove_ = nullptr;
    QCheckBox* artist_ = nullptr;
    QCheckBox* numbers_ = nullptr;
    QCheckBox* shrink_ = nullptr;
    QPushButton* ok_ = nullptr;
    QLabel* coverThumb_ = nullptr;
    QLabel* coverSource_ = nullptr;
    QPushButton* coverNone_ = nullptr;
    QComboBox* coverPlace_ = nullptr;
};

// The tape length chosen at the last import, for the song text dialogs.
std::optional<TapeLength> ImportedTape(DialogHost& host);

// A label under a song text dialog's field that shows the total of the
// lengths at the ends of its rows as the user types ("23:41 on this side"),
// against the tape chosen on import when there was one.
QLabel* AttachSideTotal(DialogHost& host, QWidget* parent, FontTextEdit& edit);

// Text > Fit Songs on the open liner: the song fonts made smaller until all
// songs fit, or the user told how many stay out and nothing changed.
void FitSongsCommand(DialogHost& host);

// Makes the Import Songs and Fit Songs commands work; `saveLinerAs` is
// File > Save As, for a cover that needs the liner's file.
void InstallSongCommands(DialogHost& host, std::function<bool()> saveLinerAs);
