#include "dialogs/find_album_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QTableWidget>
#include <QThread>
#include <QVBoxLayout>
#include <memory>

#include "dialogs/dialog_host.h"
#include "dialogs/import_songs_dialog.h"
#include "songs/music_lookup.h"
#include "songs/tape_split.h"

namespace {

enum ReleaseColumn { kCover, kArtist, kTitle, kYear, kCountry, kFormat, kTracks, kReleaseColumns };
enum TrackColumn { kTrackDisc, kTrackNumber, kTrackArtist, kTrackTitle, kTrackLength, kTrackColumns };

constexpr int kThumbnail = 56;

// The CD drives of this machine: the block devices the kernel names sr0,
// sr1..., and the links distributions make to them.
QStringList CdDrives() {
    QStringList drives;
    for (const QString& name : QDir("/dev").entryList({"sr*", "cdrom*", "dvd*"}, QDir::System | QDir::Files,
                                                      QDir::Name)) {
        drives << "/dev/" + name;
    }
    return drives;
}

QTableWidgetItem* Cell(const QString& text, bool right = false) {
    auto* item = new QTableWidgetItem(text);
    if (right) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return item;
}

// A full stop ends libdiscid's and the lookup's reasons; their first letter
// stays as written, as they follow a colon and often begin with an address.
QString Sentence(QString text) {
    if (!text.endsWith('.')) text += '.';
    return text;
}

}  // namespace

FindAlbumDialog::FindAlbumDialog(QWidget* parent) : QDialog(parent), lookup_(new MusicLookup(this)) {
    setObjectName("FindAlbumDialog");
    setWindowTitle(tr("Find Album Online"));
    readToc = [](const QString& drive, QString* error) { return ReadDiscToc(drive, error); };

    auto button = [this](const QString& text, const char* name) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(name);
        // Return in the search field searches; nothing else takes it.
        b->setAutoDefault(false);
        return b;
    };
    query_ = new QLineEdit(this);
    query_->setObjectName("AlbumQuery");
    query_->setPlaceholderText(tr("Artist and album, such as: Kate Bush Hounds of Love"));
    query_->setClearButtonEnabled(true);
    search_ = button(tr("&Search"), "SearchButton");
    fromCd_ = button(tr("From a &CD"), "FromCdButton");
    drive_ = new QComboBox(this);
    drive_->setObjectName("DiscDrive");
    drive_->addItem(tr("Default drive (%1)").arg(DefaultDiscDrive()), QString());
    for (const QString& drive : CdDrives()) drive_->addItem(drive, drive);

    auto* find = new QHBoxLayout;
    auto* findLabel = new QLabel(tr("&Find:"), this);
    findLabel->setBuddy(query_);
    find->addWidget(findLabel);
    find->addWidget(query_, 1);
    find->addWidget(search_);
    find->addSpacing(16);
    find->addWidget(fromCd_);
    auto* driveLabel = new QLabel(tr("D&rive:"), this);
    driveLabel->setBuddy(drive_);
    find->addWidget(driveLabel);
    find->addWidget(drive_);

    releases_ = new QTableWidget(0, kReleaseColumns, this);
    releases_->setObjectName("ReleaseList");
    releases_->setHorizontalHeaderLabels(
        {tr("Cover"), tr("Artist"), tr("Title"), tr("Year"), tr("Country"), tr("Format"), tr("Tracks")});
    releases_->setSelectionBehavior(QAbstractItemView::SelectRows);
    releases_->setSelectionMode(QAbstractItemView::SingleSelection);
    releases_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    releases_->setIconSize(QSize(kThumbnail, kThumbnail));
    releases_->verticalHeader()->hide();
    releases_->verticalHeader()->setDefaultSectionSize(kThumbnail + 6);
    releases_->horizontalHeader()->setSectionResizeMode(kTitle, QHeaderView::Stretch);
    releases_->setColumnWidth(kCover, kThumbnail + 12);
    releases_->setColumnWidth(kArtist, 180);
    releases_->setMinimumSize(640, 200);

    discs_ = new QWidget(this);
    discs_->setObjectName("DiscChoice");
    auto* discLayout = new QHBoxLayout(discs_);
    discLayout->setContentsMargins(0, 0, 0, 0);
    discLayout->addWidget(new QLabel(tr("Discs:"), discs_));
    discLayout->addStretch();
    discs_->hide();

    tracks_ = new QTableWidget(0, kTrackColumns, this);
    tracks_->setObjectName("TrackList");
    tracks_->setHorizontalHeaderLabels({tr("Disc"), tr("#"), tr("Artist"), tr("Title"), tr("Length")});
    tracks_->setSelectionMode(QAbstractItemView::NoSelection);
    tracks_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tracks_->verticalHeader()->hide();
    tracks_->horizontalHeader()->setSectionResizeMode(kTrackTitle, QHeaderView::Stretch);
    tracks_->setColumnWidth(kTrackArtist, 180);
    tracks_->setMinimumHeight(160);
    tracks_->verticalHeader()->setDefaultSectionSize(tracks_->fontMetrics().height() + 6);
    total_ = new QLabel(this);
    total_->setObjectName("TrackTotal");

    status_ = new QLabel(this);
    status_->setObjectName("LookupStatus");
    status_->setWordWrap(true);
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* buttons = new QDialogButtonBox(this);
    use_ = buttons->addButton(tr("&Use These Songs"), QDialogButtonBox::AcceptRole);
    use_->setObjectName("UseSongsButton");
    use_->setAutoDefault(false);
    auto* cancel = buttons->addButton(QDialogButtonBox::Cancel);
    cancel->setObjectName("CancelButton");
    cancel->setAutoDefault(false);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(find);
    layout->addWidget(releases_, 3);
    layout->addWidget(discs_);
    layout->addWidget(tracks_, 2);
    layout->addWidget(total_);
    layout->addWidget(status_);
    layout->addWidget(buttons);

    connect(query_, &QLineEdit::returnPressed, this, &FindAlbumDialog::Search);
    connect(search_, &QPushButton::clicked, this, &FindAlbumDialog::Search);
    connect(fromCd_, &QPushButton::clicked, this, &FindAlbumDialog::ReadDisc);
    connect(releases_, &QTableWidget::currentCellChanged, this, [this](int row, int, int previous, int) {
        if (!filling_ && row != previous) ChooseRelease(row);
    });
    connect(buttons, &QDialogButtonBox::accepted, this, &FindAlbumDialog::UseTheseSongs);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    connect(lookup_, &MusicLookup::failed, this, &FindAlbumDialog::Failed);
    connect(lookup_, &MusicLookup::coverFound, this, &FindAlbumDialog::CoverArrived);
    connect(lookup_, &MusicLookup::searchFound, this,
            [this](int request, const std::vector<ReleaseSummary>& found) {
                if (request != searchRequest_) return;
                searchRequest_ = 0;
                if (found.empty()) {
                    Say(tr("No release on MusicBrainz matches \"%1\".").arg(query_->text().simplified()), true);
                    return;
                }
                std::vector<Listed> listed;
                for (const ReleaseSummary& summary : found) listed.push_back({summary, std::nullopt});
                ListReleases(std::move(listed));
            });
    connect(lookup_, &MusicLookup::releaseFound, this, [this](int request, const Release& release) {
        if (request != releaseRequest_) return;
        releaseRequest_ = 0;
        ShowRelease(release);
    });
    connect(lookup_, &MusicLookup::discReleasesFound, this, [this](int request, const std::vector<Release>& found) {
        if (request != discRequest_) return;
        discRequest_ = 0;
        // Only releases that hold the disc read: a near match of the table
        // may bring others.
        std::vector<Listed> listed;
        for (const Release& release : found) {
            if (TracksOfDisc(release, *toc_)) listed.push_back({release.summary, release});
        }
        if (listed.empty()) {
            Say(tr("MusicBrainz knows no release with this disc (disc id %1). Search for it by name instead.")
                    .arg(toc_->DiscId()),
                true);
            return;
        }
        ListReleases(std::move(listed));
    });

    resize(780, 600);
    UpdateButtons();
    Say(tr("Search for an album by its artist and title, or read the CD in a drive. Nothing is sent to "
           "MusicBrainz until you do."));
    query_->setFocus();
}

FindAlbumDialog::~FindAlbumDialog() {
    // A disc still being read tells nobody.
    ++discReading_;
}

QString FindAlbumDialog::status() const { return status_->text(); }

bool FindAlbumDialog::busy() const {
    return searchRequest_ || releaseRequest_ || discRequest_ || coverRequest_ || readingDisc_;
}

void FindAlbumDialog::Say(const QString& text, bool failure) {
    status_->setText(text);
    status_->setStyleSheet(failure ? QStringLiteral("color: #b00020;") : QString());
    UpdateButtons();
}

void FindAlbumDialog::UpdateButtons() {
    use_->setEnabled(shown_ && coverRequest_ == 0 && !ChosenTracks().empty());
    fromCd_->setEnabled(!readingDisc_ && coverRequest_ == 0);
    search_->setEnabled(coverRequest_ == 0);
    // While the cover comes, the choice it is for stays as it is.
    releases_->setEnabled(coverRequest_ == 0);
    discs_->setEnabled(coverRequest_ == 0);
}

// A new search or disc: what the last one found goes, and so does anything
// still on its way for it.
void FindAlbumDialog::ClearResults() {
    lookup_->CancelAll();
    searchRequest_ = releaseRequest_ = discRequest_ = coverRequest_ = 0;
    thumbnails_.clear();
    listed_.clear();
    shown_.reset();
    filling_ = true;
    releases_->setRowCount(0);
    filling_ = false;
    ShowRelease(std::nullopt);
}

void FindAlbumDialog::Search() {
    const QString query = query_->text().simplified();
    if (query.isEmpty()) {
        Say(tr("Type an artist and an album to search for."), true);
        query_->setFocus();
        return;
    }
    ClearResults();
    ++discReading_;
    readingDisc_ = false;
    toc_.reset();
    searchRequest_ = lookup_->SearchReleases(query);
    Say(tr("Searching MusicBrainz for \"%1\"...").arg(query));
}

// libdiscid may take seconds on a drive spinning up: the reading runs on a
// thread of its own, and whatever it finds after the window closed is
// dropped.
void FindAlbumDialog::ReadDisc() {
    ClearResults();
    toc_.reset();
    const QString drive = drive_->currentData().toString();
    const QString named = drive.isEmpty() ? DefaultDiscDrive() : drive;
    struct Outcome {
        std::optional<DiscToc> toc;
        QString error;
    };
    auto outcome = std::make_shared<Outcome>();
    const int reading = ++discReading_;
    readingDisc_ = true;
    QThread* worker = QThread::create(
        [read = readToc, drive, outcome] { outcome->toc = read(drive, &outcome->error); });
    connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    connect(worker, &QThread::finished, this, [this, outcome, reading, named] {
        if (reading != discReading_) return;
        readingDisc_ = false;
        if (!outcome->toc) {
            Say(QFile::exists(named) ? tr("There is no audio CD in %1, or it cannot be read (%2).")
                                           .arg(named, outcome->error)
                                     : tr("No CD drive was found at %1.").arg(named),
                true);
            return;
        }
        const QString discId = outcome->toc->DiscId();
        if (discId.isEmpty()) {
            Say(tr("The table of contents of the disc in %1 cannot be read as an audio CD's.").arg(named), true);
            return;
        }
        toc_ = outcome->toc;
        discRequest_ = lookup_->LookUpDiscId(discId, toc_->Text());
        Say(tr("Looking up the disc %1 on MusicBrainz...").arg(discId));
    });
    Say(tr("Reading the disc in %1...").arg(named));
    worker->start();
}

void FindAlbumDialog::ListReleases(std::vector<Listed> releases) {
    listed_ = std::move(releases);
    filling_ = true;
    releases_->setRowCount(static_cast<int>(listed_.size()));
    for (size_t i = 0; i < listed_.size(); ++i) {
        const ReleaseSummary& r = listed_[i].summary;
        const int row = static_cast<int>(i);
        releases_->setItem(row, kCover, Cell(QString()));
        releases_->setItem(row, kArtist, Cell(r.artist));
        releases_->setItem(row, kTitle, Cell(r.title));
        releases_->setItem(row, kYear, Cell(r.year, true));
        releases_->setItem(row, kCountry, Cell(r.country));
        releases_->setItem(row, kFormat, Cell(r.format));
        releases_->setItem(row, kTracks, Cell(r.tracks > 0 ? QString::number(r.tracks) : QString(), true));
        // The thumbnails come as they come; the archive has no queue.
        thumbnails_[lookup_->FetchCover(r.id, 250)] = r.id;
    }
    releases_->clearSelection();
    releases_->setCurrentCell(-1, -1);
    filling_ = false;
    releases_->resizeColumnToContents(kYear);
    releases_->resizeColumnToContents(kCountry);
    releases_->resizeColumnToContents(kTracks);
    if (listed_.size() == 1) {
        releases_->selectRow(0);
        return;
    }
    Say(toc_ ? tr("%1 releases hold this disc. Choose one to see its songs.").arg(listed_.size())
             : tr("%1 releases found. Choose one to see its songs.").arg(listed_.size()));
}

void FindAlbumDialog::ChooseRelease(int row) {
    if (row < 0 || row >= static_cast<int>(listed_.size())) return;
    const Listed& chosen = listed_[static_cast<size_t>(row)];
    if (chosen.release) {
        releaseRequest_ = 0;
        ShowRelease(chosen.release);
        return;
    }
    ShowRelease(std::nullopt);
    releaseRequest_ = lookup_->LookUpRelease(chosen.summary.id);
    Say(tr("Fetching the songs of \"%1\"...").arg(chosen.summary.title));
}

void FindAlbumDialog::ShowRelease(const std::optional<Release>& release) {
    shown_ = release;
    for (QCheckBox* box : discBoxes_) delete box;
    discBoxes_.clear();
    // A disc read is one disc; a release found by name may have several.
    if (release && !toc_ && release->discs.size() > 1) {
        auto* layout = static_cast<QHBoxLayout*>(discs_->layout());
        for (const ReleaseDisc& disc : release->discs) {
            QString text = tr("Disc %1").arg(disc.position);
            if (!disc.title.isEmpty()) text += ": " + disc.title;
            if (!disc.format.isEmpty()) text += " (" + disc.format + ")";
            auto* box = new QCheckBox(text, discs_);
            box->setObjectName(QStringLiteral("Disc%1").arg(disc.position));
            box->setProperty("disc", disc.position);
            box->setChecked(true);
            connect(box, &QCheckBox::toggled, this, &FindAlbumDialog::ShowTracks);
            layout->insertWidget(layout->count() - 1, box);
            discBoxes_.push_back(box);
        }
    }
    discs_->setVisible(!discBoxes_.empty());
    ShowTracks();
    if (!release) return;
    Say(discBoxes_.empty() ? tr("\"%1\" by %2. Use These Songs takes them to Import Songs.")
                                 .arg(release->summary.title, release->summary.artist)
                           : tr("\"%1\" by %2. Untick the discs you do not want, then Use These Songs.")
                                 .arg(release->summary.title, release->summary.artist));
}

std::vector<Track> FindAlbumDialog::ChosenTracks() const {
    if (!shown_) return {};
    if (toc_) return TracksOfDisc(*shown_, *toc_).value_or(std::vector<Track>{});
    if (discBoxes_.empty()) return shown_->Tracks();
    std::vector<int> discs;
    for (const QCheckBox* box : discBoxes_) {
        if (box->isChecked()) discs.push_back(box->property("disc").toInt());
    }
    // No disc ticked is no songs, not every disc.
    return discs.empty() ? std::vector<Track>{} : shown_->Tracks(discs);
}

void FindAlbumDialog::ShowTracks() {
    const std::vector<Track> tracks = ChosenTracks();
    tracks_->setRowCount(static_cast<int>(tracks.size()));
    int seconds = 0, unknown = 0;
    for (size_t i = 0; i < tracks.size(); ++i) {
        const Track& t = tracks[i];
        const int row = static_cast<int>(i);
        tracks_->setItem(row, kTrackDisc, Cell(t.disc > 0 ? QString::number(t.disc) : QString(), true));
        tracks_->setItem(row, kTrackNumber, Cell(t.number > 0 ? QString::number(t.number) : QString(), true));
        tracks_->setItem(row, kTrackArtist, Cell(t.artist));
        tracks_->setItem(row, kTrackTitle, Cell(t.title));
        tracks_->setItem(row, kTrackLength, Cell(t.seconds >= 0 ? FormatLength(t.seconds) : QString(), true));
        if (t.seconds >= 0) {
            seconds += t.seconds;
        } else {
            ++unknown;
        }
    }
    tracks_->resizeColumnToContents(kTrackDisc);
    tracks_->resizeColumnToContents(kTrackNumber);
    tracks_->resizeColumnToContents(kTrackLength);
    QString total;
    if (!tracks.empty()) {
        total = (tracks.size() == 1 ? tr("1 song") : tr("%1 songs").arg(tracks.size())) + ", " +
                FormatLength(seconds);
        if (unknown > 0) total += tr(" (%1 without a length)").arg(unknown);
    } else if (shown_ && !discBoxes_.empty()) {
        total = tr("No disc is ticked.");
    }
    total_->setText(total);
    UpdateButtons();
}

void FindAlbumDialog::UseTheseSongs() {
    if (!shown_ || ChosenTracks().empty() || coverRequest_) return;
    coverRequest_ = lookup_->FetchCover(shown_->summary.id, 500);
    Say(tr("Fetching the front cover of \"%1\"...").arg(shown_->summary.title));
}

void FindAlbumDialog::CoverArrived(int request, const QByteArray& bytes) {
    if (auto thumbnail = thumbnails_.find(request); thumbnail != thumbnails_.end()) {
        const QString id = thumbnail->second;
        thumbnails_.erase(thumbnail);
        QImage image;
        if (bytes.isEmpty() || !image.loadFromData(bytes)) return;  // no cover: none shown
        const QPixmap pixmap = QPixmap::fromImage(
            image.scaled(kThumbnail, kThumbnail, Qt::KeepAspectRatio, Qt::SmoothTransformation));
        for (size_t i = 0; i < listed_.size(); ++i) {
            if (listed_[i].summary.id != id) continue;
            if (QTableWidgetItem* item = releases_->item(static_cast<int>(i), kCover)) item->setIcon(QIcon(pixmap));
        }
        return;
    }
    if (request != coverRequest_) return;
    coverRequest_ = 0;
    if (bytes.isEmpty()) {
        Finish(std::nullopt, tr("The Cover Art Archive has no front cover for \"%1\".").arg(shown_->summary.title));
        return;
    }
    const QString address =
        lookup_->CoverArtUrl().toString() + QStringLiteral("/release/%1/front-500").arg(shown_->summary.id);
    Finish(CoverFromBytes(bytes, address), QString());
}

void FindAlbumDialog::Failed(int request, const QString& message) {
    if (thumbnails_.erase(request)) return;  // the list shows no thumbnail, as for a release without a cover
    if (request == coverRequest_) {
        coverRequest_ = 0;
        // The songs are what was asked for: they go on without the cover.
        Finish(std::nullopt, tr("The front cover could not be fetched: %1").arg(message));
        return;
    }
    QString what;
    if (request == searchRequest_) {
        searchRequest_ = 0;
        what = tr("The search on MusicBrainz failed");
    } else if (request == releaseRequest_) {
        releaseRequest_ = 0;
        what = tr("The songs of the release could not be fetched from MusicBrainz");
    } else if (request == discRequest_) {
        discRequest_ = 0;
        what = tr("The disc could not be looked up on MusicBrainz");
    } else {
        return;  // an answer no longer waited for
    }
    Say(what + ": " + Sentence(message), true);
}

void FindAlbumDialog::Finish(std::optional<CoverImage> cover, const QString& note) {
    album_ = shown_->Import(ChosenTracks());
    if (!note.isEmpty()) album_.notes << note;
    cover_ = std::move(cover);
    accept();
}

void FindAlbumDialog::done(int result) {
    // Closing drops whatever is still on its way; nothing arrives late.
    lookup_->CancelAll();
    searchRequest_ = releaseRequest_ = discRequest_ = coverRequest_ = 0;
    thumbnails_.clear();
    ++discReading_;
    readingDisc_ = false;
    QDialog::done(result);
}

void FindAlbumCommand(DialogHost& host, const std::function<bool()>& saveLinerAs) {
    TrackImport album;
    std::optional<CoverImage> cover;
    {
        FindAlbumDialog find(host.hostWindow());
        if (find.exec() != QDialog::Accepted) return;
        album = find.album();
        cover = find.cover();
    }
    ImportSongsDialog import(host);
    import.saveLinerAs = saveLinerAs;
    import.SetCover(cover);
    import.AddAlbum(album);
    import.exec();
}
