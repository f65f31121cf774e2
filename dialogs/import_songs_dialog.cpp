#include "dialogs/import_songs_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QEventLoop>
#include <QFileInfo>
#include <QPixmap>
#include <QTemporaryDir>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QThread>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

#include "platform/commands.h"
#include "dialogs/dialog_host.h"
#include "dialogs/find_album_dialog.h"
#include "document/liner_document.h"
#include "dialogs/text_dialog.h"
#include "pictures/picture_host.h"
#include "platform/messages.h"
#include "platform/save_file.h"
#include "render/fit_songs.h"

namespace {

// Where the window keeps the tape of the last import.
constexpr char kImportedTapeProperty[] = "importedTapeMinutes";

enum Column { kNumber, kArtist, kTitle, kLength, kSide, kColumns };

QString FileFilter() {
    return QObject::tr(
        "Audio files and song lists (*.mp3 *.flac *.ogg *.oga *.opus *.m4a *.wav *.txt);;"
        "Track lists and audio files (*.m3u *.m3u8 *.pls *.xspf *.cue *.txt *.mp3 *.flac "
        "*.ogg *.oga *.opus *.m4a *.wav);;All files (*)");
}

QString PlaylistFilter() {
    return QObject::tr(
        "Playlists and cue sheets (*.m3u *.m3u8 *.pls *.xspf *.cue);;Text files (*.txt);;"
        "All files (*)");
}

void Tell(DialogHost& host, QWidget* owner, const QString& text,
          MessageIcon icon = MessageIcon::Exclamation) {
    host.prompter().Show(owner ? MessageOwner::Dialog(owner) : MessageOwner::MainWindow(),
                           {icon, MessageButtons::Ok, false}, text.toStdString());
}

QString LeftOutText(int rows) {
    return rows == 1 ? QObject::tr("Even at 6 points, 1 row of songs would still be left out.")
                     : QObject::tr("Even at 6 points, %1 rows of songs would still be left out.")
                           .arg(rows);
}

QString CoverFilter() {
    return QObject::tr("Pictures (*.jpg *.jpeg *.png *.webp *.bmp);;All files (*)");
}

// The side of the cover's thumbnail, in pixels.
constexpr int kThumbSide = 112;

// The cover as the thumbnail shows it.  Qt reads JPEG, PNG and BMP itself;
// a WebP picture goes through the program's own reader, which reads files.
QImage CoverPicture(const CoverImage& cover) {
    QImage image = QImage::fromData(cover.bytes);
    if (!image.isNull() || cover.extension != QLatin1String("webp")) return image;
    PictureReaderTable& table = PictureReaders();
    QTemporaryDir dir;
    if (!dir.isValid() || !PictureReaderAvailable(kReaderWebp, table)) return image;
    const QString path = dir.filePath(QStringLiteral("cover.webp"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(cover.bytes) != cover.bytes.size()) return image;
    file.close();
    return TakePackedDib(DibPtr(table.Row(kReaderWebp).read(QFile::encodeName(path).constData())));
}

}  // namespace

ImportSongsDialog::ImportSongsDialog(DialogHost& host) : QDialog(host.hostWindow()), host_(host), document_(host.document()) {
    setObjectName("ImportSongsDialog");
    setWindowTitle(tr("Import Songs"));

    list_ = new QTableWidget(0, kColumns, this);
    list_->setObjectName("SongList");
    list_->setHorizontalHeaderLabels(
        {tr("#"), tr("Artist"), tr("Title"), tr("Length"), tr("Side")});
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->verticalHeader()->hide();
    // One line a song, so that an album's worth shows without scrolling much.
    const int rowHeight = list_->fontMetrics().height() + 8;
    list_->verticalHeader()->setMinimumSectionSize(rowHeight);
    list_->verticalHeader()->setDefaultSectionSize(rowHeight);
    list_->horizontalHeader()->setSectionResizeMode(kTitle, QHeaderView::Stretch);
    list_->setMinimumSize(560, 300);

    auto button = [this](const QString& text, const char* name) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(name);
        // Return takes OK, whichever button was pressed last.
        b->setAutoDefault(false);
        return b;
    };
    auto* addFiles = button(tr("Add &Files..."), "AddFilesButton");
    auto* addFolder = button(tr("Add F&older..."), "AddFolderButton");
    auto* addPlaylist = button(tr("Add &Playlist..."), "AddPlaylistButton");
    auto* findAlbum = button(tr("Find Album Onl&ine..."), "FindAlbumButton");
    up_ = button(tr("Move &Up"), "MoveUpButton");
    down_ = button(tr("Move &Down"), "MoveDownButton");
    other_ = button(tr("&Other Side"), "OtherSideButton");
    remove_ = button(tr("Re&move"), "RemoveButton");
    auto* rowButtons = new QVBoxLayout;
    for (QPushButton* b : {addFiles, addFolder, addPlaylist, findAlbum}) rowButtons->addWidget(b);
    rowButtons->addSpacing(12);
    for (QPushButton* b : {up_, down_, other_, remove_}) rowButtons->addWidget(b);
    rowButtons->addStretch();

    tape_ = new QComboBox(this);
    tape_->setObjectName("TapeLength");
    for (const TapeLength& t : StandardTapes()) tape_->addItem(t.Name(), t.minutes);
    tape_->addItem(tr("Minutes:"), 0);
    minutes_ = new QSpinBox(this);
    minutes_->setObjectName("TapeMinutes");
    minutes_->setRange(1, 600);
    minutes_->setValue(74);
    minutes_->setSuffix(tr(" min"));
    balanced_ = new QRadioButton(tr("&Balanced"), this);
    balanced_->setObjectName("Balanced");
    balanced_->setChecked(true);
    fillA_ = new QRadioButton(tr("Fill Side &A first"), this);
    fillA_->setObjectName("FillSideAFirst");
    totalA_ = new QLabel(this);
    totalA_->setObjectName("TotalSideA");
    totalB_ = new QLabel(this);
    totalB_->setObjectName("TotalSideB");

    auto* tapeBox = new QGroupBox(tr("Tape"), this);
    auto* tapeGrid = new QGridLayout(tapeBox);
    tapeGrid->addWidget(new QLabel(tr("&Length:"), tapeBox), 0, 0);
    tapeGrid->addWidget(tape_, 0, 1);
    tapeGrid->addWidget(minutes_, 0, 2);
    tapeGrid->addWidget(balanced_, 1, 0, 1, 2);
    tapeGrid->addWidget(fillA_, 1, 2);
    tapeGrid->addWidget(totalA_, 2, 0, 1, 3);
    tapeGrid->addWidget(totalB_, 3, 0, 1, 3);
    static_cast<QLabel*>(tapeGrid->itemAtPosition(0, 0)->widget())->setBuddy(tape_);

    artist_ = new QCheckBox(tr("A&rtist before each title"), this);
    artist_->setObjectName("ArtistCheck");
    numbers_ = new QCheckBox(tr("&Number the songs"), this);
    numbers_->setObjectName("NumbersCheck");
    shrink_ = new QCheckBox(tr("&Shrink the song font to fit"), this);
    shrink_->setObjectName("ShrinkCheck");
    auto* checks = new QVBoxLayout;
    for (QCheckBox* c : {artist_, numbers_, shrink_}) checks->addWidget(c);
    checks->addStretch();

    auto* coverBox = new QGroupBox(tr("Cover"), this);
    coverThumb_ = new QLabel(coverBox);
    coverThumb_->setObjectName("CoverThumbnail");
    coverThumb_->setFixedSize(kThumbSide, kThumbSide);
    coverThumb_->setAlignment(Qt::AlignCenter);
    coverThumb_->setFrameShape(QFrame::StyledPanel);
    coverSource_ = new QLabel(coverBox);
    coverSource_->setObjectName("CoverSource");
    coverSource_->setWordWrap(true);
    auto* coverChange = button(tr("C&hange..."), "CoverChangeButton");
    coverNone_ = button(tr("No&ne"), "CoverNoneButton");
    coverPlace_ = new QComboBox(coverBox);
    coverPlace_->setObjectName("CoverPlace");
    auto* placeLabel = new QLabel(tr("&Place:"), coverBox);
    placeLabel->setBuddy(coverPlace_);
    auto* coverGrid = new QGridLayout(coverBox);
    coverGrid->addWidget(coverThumb_, 0, 0, 3, 1);
    coverGrid->addWidget(coverSource_, 0, 1, 1, 2);
    coverGrid->addWidget(coverChange, 1, 1);
    coverGrid->addWidget(coverNone_, 1, 2);
    coverGrid->addWidget(placeLabel, 2, 1);
    coverGrid->addWidget(coverPlace_, 2, 2);
    coverGrid->setColumnStretch(1, 1);
    coverGrid->setColumnStretch(2, 1);

    // However many notes an import brings, they scroll in a few lines: the
    // dialog keeps its height and OK stays on the screen.
    notes_ = new QPlainTextEdit(this);
    notes_->setObjectName("ImportNotes");
    notes_->setReadOnly(true);
    notes_->setPlaceholderText(tr("Notes on the songs read appear here."));
    notes_->setFixedHeight(notes_->fontMetrics().lineSpacing() * 6 + 2 * notes_->frameWidth() +
                           static_cast<int>(notes_->document()->documentMargin() * 2));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    ok_->setObjectName("OkButton");
    ok_->setDefault(true);
    buttons->button(QDialogButtonBox::Cancel)->setObjectName("CancelButton");

    auto* top = new QHBoxLayout;
    top->addWidget(list_, 1);
    top->addLayout(rowButtons);
    auto* middle = new QHBoxLayout;
    middle->addWidget(tapeBox, 1);
    middle->addLayout(checks);
    middle->addWidget(coverBox, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addLayout(middle);
    layout->addWidget(notes_);
    layout->addWidget(buttons);

    auto selected = [this] { return list_->currentRow(); };
    connect(up_, &QPushButton::clicked, this, [this, selected] { MoveRow(selected(), -1); });
    connect(down_, &QPushButton::clicked, this, [this, selected] { MoveRow(selected(), 1); });
    connect(other_, &QPushButton::clicked, this, [this, selected] { MoveToOtherSide(selected()); });
    connect(remove_, &QPushButton::clicked, this, [this, selected] { RemoveRow(selected()); });
    connect(list_, &QTableWidget::itemSelectionChanged, this, &ImportSongsDialog::UpdateRowButtons);
    connect(addFiles, &QPushButton::clicked, this, [this] { ChooseMore(SourceKind::Files); });
    connect(addFolder, &QPushButton::clicked, this, [this] { ChooseMore(SourceKind::Folder); });
    connect(addPlaylist, &QPushButton::clicked, this, [this] { ChooseMore(SourceKind::Playlist); });
    connect(findAlbum, &QPushButton::clicked, this, &ImportSongsDialog::FindAlbum);
    auto resplit = [this] {
        if (refreshing_) return;
        manual_ = false;
        Refresh();
    };
    // A tape the user picks stays; until then it follows the songs.
    auto pickTape = [this, resplit] {
        if (refreshing_) return;
        tapePicked_ = true;
        minutes_->setEnabled(tape_->currentData().toInt() == 0);
        resplit();
    };
    connect(tape_, &QComboBox::currentIndexChanged, this, pickTape);
    connect(minutes_, &QSpinBox::valueChanged, this, pickTape);
    connect(balanced_, &QRadioButton::toggled, this, resplit);
    // Refresh sets the Artist box itself until the user has touched it.
    connect(artist_, &QCheckBox::toggled, this, [this] {
        if (refreshing_) return;
        artistTouched_ = true;
        Refresh();
    });
    connect(numbers_, &QCheckBox::toggled, this, [this] {
        if (!refreshing_) Refresh();
    });
    connect(coverChange, &QPushButton::clicked, this, &ImportSongsDialog::ChangeCover);
    connect(coverNone_, &QPushButton::clicked, this, [this] { SetCover(std::nullopt); });
    connect(coverPlace_, &QComboBox::activated, this, [this](int index) { SetCoverArea(static_cast<size_t>(index)); });
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        if (Apply()) accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    choose = [this](SourceKind kind) {
        switch (kind) {
            case SourceKind::Folder: {
                const QString dir =
                    QFileDialog::getExistingDirectory(this, tr("Add the Songs of a Folder"));
                return dir.isEmpty() ? QStringList() : QStringList{dir};
            }
            case SourceKind::Playlist:
                return QFileDialog::getOpenFileNames(this, tr("Add Playlists"), QString(),
                                                     PlaylistFilter());
            case SourceKind::Files:
                break;
        }
        return QFileDialog::getOpenFileNames(this, tr("Add Files"), QString(), FileFilter());
    };
    chooseCover = [this] {
        return QFileDialog::getOpenFileName(this, tr("Choose the Cover"), QString(), CoverFilter());
    };

    if (const auto tape = ImportedTape(host_)) {
        tapePicked_ = true;
        refreshing_ = true;
        const int index = tape_->findData(tape->minutes);
        if (index >= 0) {
            tape_->setCurrentIndex(index);
        } else {
            tape_->setCurrentIndex(tape_->count() - 1);
            minutes_->setValue(tape->minutes);
        }
        refreshing_ = false;
    }
    minutes_->setEnabled(tape_->currentData().toInt() == 0);
    ShowCover();
    Refresh();
}

void ImportSongsDialog::SetCover(std::optional<CoverImage> cover) {
    cover_ = std::move(cover);
    coverChosen_ = true;
    ShowCover();
}

void ImportSongsDialog::ShowCover() {
    coverNone_->setEnabled(cover_.has_value());
    coverPlace_->setEnabled(cover_.has_value());
    if (!cover_) {
        coverThumb_->setPixmap(QPixmap());
        coverThumb_->setText(tr("No cover"));
        coverSource_->setText(coverChosen_ ? tr("The liner gets no cover.")
                                           : tr("None of the songs' files has a cover, nor a picture beside them."));
        return;
    }
    const QImage image = CoverPicture(*cover_);
    if (image.isNull()) {
        coverThumb_->setPixmap(QPixmap());
        coverThumb_->setText(cover_->extension.toUpper());
    } else {
        coverThumb_->setPixmap(QPixmap::fromImage(
            image.scaled(coverThumb_->contentsRect().size(), Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    }
    const QString from = cover_->source.contains(QLatin1String("://")) ? cover_->source
                                                                        : QFileInfo(cover_->source).fileName();
    coverSource_->setText(image.isNull() ? tr("From %1").arg(from)
                                         : tr("From %1 (%2 x %3)").arg(from).arg(image.width()).arg(image.height()));
    coverSource_->setToolTip(cover_->source);
}

void ImportSongsDialog::ChangeCover() {
    if (!chooseCover) return;
    const QString path = chooseCover();
    if (path.isEmpty()) return;
    const QString name = QFileInfo(path).fileName();
    // A cover is read whole; larger files are no covers, and neither is
    // anything that is not a plain file (a pipe would hold the window).
    constexpr qint64 kLargest = 16 * 1024 * 1024;
    const std::string local = QFile::encodeName(path).toStdString();
    std::optional<CoverImage> cover;
    if (IsRegularFile(local)) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            Tell(host_, this, tr("%1 cannot be opened: %2").arg(name, file.errorString()));
            return;
        }
        file.close();
        if (auto bytes = ReadRegularFile(local, kLargest)) cover = CoverFromBytes(*bytes, path);
    }
    if (!cover) {
        Tell(host_, this,
             tr("%1 is not a picture Reelcard can use as a cover. Please choose a JPEG, PNG, WebP or BMP "
                "picture of at most 16 MB.")
                 .arg(name));
        return;
    }
    SetCover(std::move(cover));
}

namespace {

bool SameArea(const CoverArea& a, const CoverArea& b) { return a.kind == b.kind && a.overflow == b.overflow; }

// The choice of the list that is `area`, if the list has it.
std::optional<size_t> FindArea(const std::vector<CoverArea>& areas, const CoverArea& area) {
    for (size_t i = 0; i < areas.size(); ++i) {
        if (SameArea(areas[i], area)) return i;
    }
    return std::nullopt;
}

// The place's name as the list shows it: "Title area".
QString AreaTitle(const CoverArea& area) {
    QString name = area.Name();
    if (!name.isEmpty()) name[0] = name[0].toUpper();
    return name;
}

}  // namespace

// The panels free for a cover depend on where the songs fall: they are
// worked out again on the liner as it would be with the songs as listed.
void ImportSongsDialog::UpdateCoverAreas(const std::optional<SongTexts>& texts) {
    Liner trial = document_.liner();
    if (texts) PutSongTexts(trial, *texts);
    areas_ = CoverAreas(trial);
    size_t chosen = DefaultCoverArea(areas_, trial);
    if (areaPicked_) {
        if (auto picked = FindArea(areas_, *areaPicked_)) chosen = *picked;
    }
    const QSignalBlocker block(coverPlace_);
    coverPlace_->clear();
    for (const CoverArea& area : areas_) coverPlace_->addItem(AreaTitle(area));
    coverPlace_->setCurrentIndex(static_cast<int>(chosen));
}

size_t ImportSongsDialog::coverArea() const {
    const int index = coverPlace_->currentIndex();
    return index < 0 ? 0 : static_cast<size_t>(index);
}

void ImportSongsDialog::SetCoverArea(size_t index) {
    if (index >= areas_.size()) return;
    areaPicked_ = areas_[index];
    const QSignalBlocker block(coverPlace_);
    coverPlace_->setCurrentIndex(static_cast<int>(index));
}

std::optional<TapeLength> ImportSongsDialog::tape() const {
    const int minutes = tape_->currentData().toInt();
    return TapeLength{minutes > 0 ? minutes : minutes_->value()};
}

std::vector<int> ImportSongsDialog::Lengths() const {
    std::vector<int> lengths;
    for (const Track& t : tracks_) lengths.push_back(t.seconds);
    return lengths;
}

// Until the user picks a tape (now or at the last import), the shortest
// standard tape that holds the songs on a balanced split.
void ImportSongsDialog::SelectTapeFor(const std::vector<int>& lengths) {
    if (tapePicked_) return;
    for (int i = 0; i < static_cast<int>(StandardTapes().size()); ++i) {
        const TapeLength t = StandardTapes()[static_cast<size_t>(i)];
        if (SplitSongs(lengths, t, SplitMode::Balanced).missingSeconds == 0 ||
            i + 1 == static_cast<int>(StandardTapes().size())) {
            refreshing_ = true;
            tape_->setCurrentIndex(i);
            refreshing_ = false;
            minutes_->setEnabled(false);
            return;
        }
    }
}

// The reading runs on a thread of its own while the window's events go on:
// a folder of many files, or a file slow to read, shows its progress after a
// moment, and Cancel stops it.
std::optional<TrackImport> ImportSongsDialog::Read(const QStringList& sources, TrackListError* error,
                                                   std::optional<CoverImage>* found) {
    QProgressDialog progress(tr("Reading the songs..."), tr("Cancel"), 0, 0, this);
    progress.setObjectName("ImportProgress");
    progress.setWindowTitle(tr("Import Songs"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(400);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    progress.setValue(0);
    TrackReadControl control;
    control.progress = [&progress](const QString& file, int filesRead) {
        QMetaObject::invokeMethod(
            &progress,
            [&progress, file, filesRead] {
                if (progress.wasCanceled()) return;
                const QString name = QFileInfo(file).fileName();
                progress.setLabelText(filesRead == 0 ? tr("Reading %1...").arg(name)
                                                     : tr("Reading %1 (%2 files read)...")
                                                           .arg(name)
                                                           .arg(filesRead));
            },
            Qt::QueuedConnection);
    };
    connect(&progress, &QProgressDialog::canceled, &progress, [&control, &progress] {
        control.cancel = true;
        progress.setLabelText(tr("Stopping..."));
    });
    std::optional<TrackImport> result;
    QEventLoop loop;
    std::unique_ptr<QThread> worker(
        QThread::create([&] {
            result = ReadTrackSources(sources, error, &control);
            // The cover is looked for while the files are at hand.
            if (result && found && !control.cancel) *found = FindCover(result->tracks, &control);
        }));
    connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit, Qt::QueuedConnection);
    worker->start();
    loop.exec();
    worker->wait();
    return result;
}

bool ImportSongsDialog::AddSources(const QStringList& sources) {
    if (sources.isEmpty()) return false;
    TrackListError error;
    std::optional<CoverImage> found;
    std::optional<TrackImport> more = Read(sources, &error, coverChosen_ || cover_ ? nullptr : &found);
    if (!more) {
        if (!error.cancelled) Tell(host_, this, tr("Nothing was imported. %1").arg(error.Message()));
        return false;
    }
    if (found) {
        cover_ = std::move(found);
        ShowCover();
    }
    AddAlbum(*more);
    return true;
}

void ImportSongsDialog::AddAlbum(const TrackImport& more) {
    if (tracks_.empty()) {
        import_ = more;
    } else {
        // The album holds only while every song comes from it.
        if (import_.album.compare(more.album, Qt::CaseInsensitive) != 0) import_.album.clear();
        if (import_.albumArtist.compare(more.albumArtist, Qt::CaseInsensitive) != 0)
            import_.albumArtist.clear();
        import_.tracks.insert(import_.tracks.end(), more.tracks.begin(), more.tracks.end());
        import_.missing.insert(import_.missing.end(), more.missing.begin(), more.missing.end());
        import_.notes += more.notes;
    }
    tracks_.insert(tracks_.end(), more.tracks.begin(), more.tracks.end());
    SongsChanged();
}

void ImportSongsDialog::FindAlbum() {
    FindAlbumDialog find(this);
    if (find.exec() != QDialog::Accepted) return;
    // An album without a cover leaves the cover already chosen.
    if (find.cover()) SetCover(find.cover());
    AddAlbum(find.album());
}

// Songs came or went: the sides are split anew, on the tape that fits them
// best unless the user picked one.
void ImportSongsDialog::SongsChanged() {
    manual_ = false;
    SelectTapeFor(Lengths());
    Refresh();
}

void ImportSongsDialog::ChooseMore(SourceKind kind) {
    if (!choose) return;
    AddSources(choose(kind));
}

void ImportSongsDialog::RemoveRow(int row) {
    if (row < 0 || row >= static_cast<int>(tracks_.size())) return;
    tracks_.erase(tracks_.begin() + row);
    import_.tracks.erase(import_.tracks.begin() + row);
    SongsChanged();
    if (!tracks_.empty()) list_->setCurrentCell(std::min(row, static_cast<int>(tracks_.size()) - 1), kTitle);
}

void ImportSongsDialog::UpdateRowButtons() {
    const int rows = list_->rowCount();
    const int row = list_->selectionModel()->hasSelection() ? list_->currentRow() : -1;
    const bool any = row >= 0 && row < rows;
    up_->setEnabled(any && row > 0);
    down_->setEnabled(any && row + 1 < rows);
    other_->setEnabled(any);
    remove_->setEnabled(any);
}

void ImportSongsDialog::MoveRow(int row, int by) {
    const int to = row + by;
    if (row < 0 || to < 0 || row >= static_cast<int>(tracks_.size()) ||
        to >= static_cast<int>(tracks_.size()))
        return;
    std::swap(tracks_[static_cast<size_t>(row)], tracks_[static_cast<size_t>(to)]);
    std::swap(import_.tracks[static_cast<size_t>(row)], import_.tracks[static_cast<size_t>(to)]);
    Refresh();
    list_->setCurrentCell(to, kTitle);
}

void ImportSongsDialog::MoveToOtherSide(int row) {
    if (row < 0 || row >= static_cast<int>(tracks_.size())) return;
    // The song goes to the near end of the other side, so both sides keep
    // their order.
    const size_t from = static_cast<size_t>(row);
    size_t to;
    if (from < sideACount_) {
        to = sideACount_ - 1;
        --sideACount_;
    } else {
        to = sideACount_;
        ++sideACount_;
    }
    auto move = [&](std::vector<Track>& v) {
        Track t = v[from];
        v.erase(v.begin() + static_cast<std::ptrdiff_t>(from));
        v.insert(v.begin() + static_cast<std::ptrdiff_t>(to), t);
    };
    move(tracks_);
    move(import_.tracks);
    manual_ = true;
    Refresh();
    list_->setCurrentCell(static_cast<int>(to), kTitle);
}

std::optional<SongTexts> ImportSongsDialog::Texts() const {
    RowOptions options;
    options.artist = artist_->isChecked();
    options.numbers = numbers_->isChecked();
    return MakeSongTexts(tracks_, sideACount_, options, import_.album, import_.albumArtist,
                         &document_.liner().fonts);
}

void ImportSongsDialog::Refresh() {
    refreshing_ = true;
    const std::vector<int> lengths = Lengths();
    const std::optional<TapeLength> t = tape();
    if (!manual_) {
        sideACount_ =
            SplitSongs(lengths, t,
                       fillA_->isChecked() ? SplitMode::FillSideAFirst : SplitMode::Balanced)
                .sideACount;
    }
    const TapeSplit split = SplitAt(lengths, sideACount_, t);
    if (!artistTouched_) artist_->setChecked(SeveralArtists(tracks_));

    list_->setRowCount(static_cast<int>(tracks_.size()));
    for (size_t i = 0; i < tracks_.size(); ++i) {
        const Track& track = tracks_[i];
        const QString cells[kColumns] = {
            QString::number(i + 1), track.artist, track.title,
            track.seconds >= 0 ? FormatLength(track.seconds) : QString(),
            i < sideACount_ ? QStringLiteral("A") : QStringLiteral("B")};
        for (int c = 0; c < kColumns; ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            if (c == kNumber || c == kLength || c == kSide)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            list_->setItem(static_cast<int>(i), c, item);
        }
    }
    list_->resizeColumnToContents(kNumber);
    list_->resizeColumnToContents(kLength);
    list_->resizeColumnToContents(kSide);

    auto total = [&](const char* side, size_t count, int seconds) {
        const QString songs = count == 1 ? tr("1 song") : tr("%1 songs").arg(count);
        const QString text = tr("Side %1: %2, %3 of %4")
                                 .arg(QLatin1String(side), songs, FormatLength(seconds),
                                      FormatLength(t->SideSeconds()));
        return seconds > t->SideSeconds()
                   ? text + tr(", %1 too long").arg(FormatLength(seconds - t->SideSeconds()))
                   : text;
    };
    totalA_->setText(total("A", sideACount_, split.sideASeconds));
    totalB_->setText(total("B", tracks_.size() - sideACount_, split.sideBSeconds));

    const std::optional<SongTexts> texts = Texts();
    UpdateCoverAreas(texts);
    const QStringList notes = ImportNotes(import_, texts ? &*texts : nullptr, split, t);
    notes_->setPlainText(notes.join("\n\n"));
    ok_->setEnabled(!tracks_.empty());
    UpdateRowButtons();
    refreshing_ = false;
}

bool ImportSongsDialog::Apply() {
    if (tracks_.empty()) return false;
    // Open dialogs with unapplied edits are asked about them first; they show
    // the imported songs afterwards.
    if (!document_.FinishDialogEdits()) return false;
    const std::optional<SongTexts> texts = Texts();
    if (!texts) {
        Tell(host_, this,
             tr("The songs are too many to be kept in a liner. Please import fewer."));
        return false;
    }
    QString linerPath;
    bool withCover = false;
    if (!LinerPathForCover(&linerPath, &withCover)) return false;
    // The cover file first: when it cannot be written the liner stays as it was.
    std::optional<QString> coverFile;
    bool coverCreated = false;
    if (withCover) {
        QString why;
        coverFile = WriteCoverBeside(linerPath, *cover_, &coverCreated, &why);
        if (!coverFile) {
            Tell(host_, this, tr("The cover could not be put beside the liner (%1). Nothing was changed.").arg(why));
            return false;
        }
    }
    Liner& liner = document_.liner();
    const Liner before = liner;
    PutSongTexts(liner, *texts);
    if (shrink_->isChecked()) {
        const SongFitResult fit = FitSongs(liner);
        if (!fit.fits) {
            Tell(host_, this,
                 LeftOutText(fit.songsLeftOut) + tr(" The song font was not changed."));
        }
    }
    if (coverFile) {
        // Smaller songs may leave more panels free; the one chosen stays.
        const std::vector<CoverArea> areas = CoverAreas(liner);
        const size_t index = FindArea(areas, areas_[coverArea()]).value_or(DefaultCoverArea(areas, liner));
        const QString written = QFileInfo(linerPath).absoluteDir().filePath(*coverFile);
        if (areas[index].kind == CoverArea::Kind::None) {
            // No place is left on this card: the songs come alone.
            if (coverCreated) QFile::remove(written);
            coverFile.reset();
        } else if (!PlaceCover(liner, linerPath, *coverFile, areas[index].place, host_.prompter())) {
            liner = before;
            if (coverCreated) QFile::remove(written);
            return false;
        } else {
            // The picture is named beside the liner, and found there when drawn.
            SetPictureBaseFolder(QFile::encodeName(QFileInfo(linerPath).absolutePath()).toStdString());
        }
    }
    host_.hostWindow()->setProperty(kImportedTapeProperty, tape()->minutes);
    // One step with the cover, as a song text dialog applies; the dialogs
    // asked above show the imported songs, whatever they were told.
    document_.Commit(tr("Import Songs"), LinerDocument::kTexts | LinerDocument::kFonts |
                                             (coverFile ? LinerDocument::kPictures : 0u));
    document_.AnnounceReplaced();
    return true;
}

// Where the cover file goes: beside the liner's own file.  A liner without
// one is saved first when the user agrees; else the songs come alone.
bool ImportSongsDialog::LinerPathForCover(QString* path, bool* withCover) {
    *withCover = cover_.has_value() && areas_[coverArea()].kind != CoverArea::Kind::None;
    *path = document_.currentPath();
    if (!*withCover || !path->isEmpty()) return true;
    const QString unsaved =
        tr("The cover is kept in a file beside the liner, and this liner has not been saved yet.");
    if (!saveLinerAs) {
        Tell(host_, this, unsaved + ' ' + tr("Please save it first, or choose None to import the songs alone."));
        return false;
    }
    const MessageResult answer =
        host_.prompter().Show(MessageOwner::Dialog(this), {MessageIcon::Question, MessageButtons::YesNoCancel, false},
                              (unsaved + ' ' + tr("Save it now?\n\nNo imports the songs without the cover.")).toStdString());
    if (answer == MessageResult::No) {
        *withCover = false;
        return true;
    }
    if (answer != MessageResult::Yes || !saveLinerAs()) return false;
    *path = document_.currentPath();
    return !path->isEmpty();
}

std::optional<TapeLength> ImportedTape(DialogHost& host) {
    bool ok = false;
    const int minutes = host.hostWindow()->property(kImportedTapeProperty).toInt(&ok);
    if (!ok || minutes <= 0) return std::nullopt;
    return TapeLength{minutes};
}

QLabel* AttachSideTotal(DialogHost& host, QWidget* parent, FontTextEdit& edit) {
    auto* label = new QLabel(parent);
    label->setObjectName("SideTotal");
    auto update = [&host, &edit, label] {
        label->setText(SideTotalText(TotalOfRows(edit.Text()), ImportedTape(host)));
    };
    QObject::connect(&edit, &QTextEdit::textChanged, label, update);
    update();
    return label;
}

void FitSongsCommand(DialogHost& host) {
    const SongFitResult fit = FitSongs(host.document().liner());
    if (fit.changed) {
        host.document().Commit(QObject::tr("Fit Songs"), LinerDocument::kTexts | LinerDocument::kFonts);
        return;
    }
    if (fit.fits) {
        Tell(host, nullptr, QObject::tr("Every song fits already."), MessageIcon::Information);
        return;
    }
    Tell(host, nullptr, LeftOutText(fit.songsLeftOut) + QObject::tr(" Nothing was changed."));
}

void InstallSongCommands(DialogHost& host, std::function<bool()> saveLinerAs) {
    host.SetCommandHandler(kCmdImportSongs, [&host, saveLinerAs] {
        // The window first: its Add buttons take files, a folder or playlists.
        ImportSongsDialog dialog(host);
        dialog.saveLinerAs = saveLinerAs;
        dialog.exec();
    });
    host.SetCommandHandler(kCmdFitSongs, [&host] { FitSongsCommand(host); });
    host.SetCommandHandler(kCmdFindAlbum, [&host, saveLinerAs] { FindAlbumCommand(host, saveLinerAs); });
}
