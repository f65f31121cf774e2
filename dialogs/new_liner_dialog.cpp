#include "dialogs/new_liner_dialog.h"

#include <algorithm>

#include <QDateTime>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QIcon>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include "document/liner_file.h"
#include "document/measurement.h"
#include "pictures/picture_host.h"
#include "platform/prompter.h"
#include "render/geometry.h"
#include "render/liner_export.h"

namespace {

constexpr int kThumbnail = 160;

// A format that cannot be read is left out of the gallery, so its messages
// go nowhere; the file dialog still reaches it and says what is wrong.
class QuietPrompter : public Prompter {
public:
    MessageResult Show(const MessageOwner&, const MessageStyle&, const std::string&) override {
        return MessageResult::Cancel;
    }
    MergeChoice AskMerge(const std::string&) override { return MergeChoice::Cancel; }
};

struct GalleryEntry {
    QDateTime modified;
    bool readable = false;
    QIcon icon;
    QString size;
};

// Drawing every format again each time New is chosen would be slow; a file
// is drawn again only once it changes.
GalleryEntry Entry(const QString& path) {
    static QHash<QString, GalleryEntry> cache;
    const QDateTime modified = QFileInfo(path).lastModified();
    auto found = cache.constFind(path);
    if (found != cache.cend() && found->modified == modified) return *found;

    GalleryEntry entry;
    entry.modified = modified;
    Liner liner;
    QuietPrompter prompter;
    if (ReadFormatFile(liner, path.toStdString(), prompter)) {
        const LinerGeometry g = ComputeLinerGeometry(liner);
        entry.readable = g.width > 0 && g.totalHeight > 0;
        if (entry.readable) {
            // In the liner's own unit, named once: "4 × 4.0625 in".
            auto length = [&liner](int twips) {
                return QString::fromStdString(FormatMeasurement(FromTwips(twips, liner.defaultUnits)));
            };
            entry.size = QStringLiteral("%1 \u00d7 %2%3")
                             .arg(length(g.width), length(g.totalHeight),
                                  QString::fromUtf8(UnitRow(liner.defaultUnits, liner.defaultUnits).shown));
            // Enough pixels for a sharp thumbnail of the longer side.
            const int longer = std::max(g.width, g.totalHeight);
            const int dpi = std::clamp(kThumbnail * 1440 / longer + 1, 8, 300);
            PictureImages pictures;
            bool warning = false;
            const ExportContext context{pictures, prompter, warning};
            const QImage image = RenderLinerImage(liner, dpi, false, context);
            QPixmap square(kThumbnail, kThumbnail);
            square.fill(Qt::transparent);
            if (!image.isNull()) {
                const QImage scaled =
                    image.scaled(kThumbnail, kThumbnail, Qt::KeepAspectRatio, Qt::SmoothTransformation);
                QPainter painter(&square);
                painter.drawImage((kThumbnail - scaled.width()) / 2, (kThumbnail - scaled.height()) / 2, scaled);
                painter.setPen(Qt::gray);
                painter.drawRect((kThumbnail - scaled.width()) / 2, (kThumbnail - scaled.height()) / 2,
                                 scaled.width() - 1, scaled.height() - 1);
            }
            entry.icon = QIcon(square);
        }
    }
    cache.insert(path, entry);
    return entry;
}

// "long-back.fmt" is shown as "Long back"; the shipped formats whose names
// hold abbreviations and proper names are spelt out as people write them.
QString ReadableName(const QString& path) {
    static const QHash<QString, QString> kShipped = {
        {QStringLiteral("8-track-label"), QStringLiteral("8-track label")},
        {QStringLiteral("cassingle-j-card"), QStringLiteral("Cassingle J-card")},
        {QStringLiteral("cd-front-insert"), QStringLiteral("CD front insert")},
        {QStringLiteral("cd-tray-card"), QStringLiteral("CD tray card")},
        {QStringLiteral("dat-j-card"), QStringLiteral("DAT J-card")},
        {QStringLiteral("dcc-insert"), QStringLiteral("DCC insert")},
        {QStringLiteral("four-panel"), QStringLiteral("Four-panel J-card")},
        {QStringLiteral("j-card-five-panel"), QStringLiteral("Five-panel J-card")},
        {QStringLiteral("j-card-long-back"), QStringLiteral("J-card, long back")},
        {QStringLiteral("microcassette"), QStringLiteral("Microcassette J-card")},
        {QStringLiteral("minidisc-insert"), QStringLiteral("MiniDisc insert")},
        {QStringLiteral("o-card-insert"), QStringLiteral("O-card insert")},
        {QStringLiteral("one-column-turned"), QStringLiteral("One column, turned")},
        {QStringLiteral("u-card"), QStringLiteral("U-card")},
        {QStringLiteral("vhs-spine-label"), QStringLiteral("VHS spine label")},
    };
    QString name = QFileInfo(path).completeBaseName();
    if (auto known = kShipped.find(name.toLower()); known != kShipped.end()) return *known;
    name.replace(QLatin1Char('-'), QLatin1Char(' ')).replace(QLatin1Char('_'), QLatin1Char(' '));
    if (!name.isEmpty()) name[0] = name[0].toUpper();
    return name;
}

QStringList FormatsIn(const QString& folder) {
    if (folder.isEmpty()) return {};
    QStringList paths;
    const QDir dir(folder);
    const QStringList names = dir.entryList({QStringLiteral("*.fmt")}, QDir::Files | QDir::Readable, QDir::Name);
    for (const QString& name : names) paths << dir.filePath(name);
    return paths;
}

}  // namespace

QStringList GalleryFormats(const QString& defaultFormat, const QString& shippedFolder, const QString& userFolder) {
    QStringList paths;
    if (QFileInfo(defaultFormat).isFile()) paths << defaultFormat;
    paths << FormatsIn(shippedFolder) << FormatsIn(userFolder);
    return paths;
}

NewLinerDialog::NewLinerDialog(const QStringList& formats, const QString& current, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("NewLinerDialog"));
    setWindowTitle(tr("New"));
    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("FormatList"));
    list_->setViewMode(QListView::IconMode);
    list_->setIconSize(QSize(kThumbnail, kThumbnail));
    list_->setGridSize(QSize(kThumbnail + 40, kThumbnail + 56));
    list_->setResizeMode(QListView::Adjust);
    list_->setMovement(QListView::Static);
    list_->setWordWrap(true);
    list_->setUniformItemSizes(true);
    for (const QString& path : formats) {
        const GalleryEntry entry = Entry(path);
        if (!entry.readable) continue;
        auto* item = new QListWidgetItem(entry.icon, ReadableName(path) + QLatin1Char('\n') + entry.size, list_);
        item->setData(Qt::UserRole, path);
        item->setToolTip(QDir::toNativeSeparators(path));
        if (!list_->currentItem() || QFileInfo(path).fileName() == current) list_->setCurrentItem(item);
    }

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    QPushButton* browse = buttons->addButton(tr("&Browse..."), QDialogButtonBox::ActionRole);
    browse->setObjectName(QStringLiteral("BrowseButton"));
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("OkButton"));
    buttons->button(QDialogButtonBox::Ok)->setEnabled(list_->currentItem() != nullptr);
    connect(buttons, &QDialogButtonBox::accepted, this, &NewLinerDialog::Choose);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(browse, &QPushButton::clicked, this, [this] {
        browse_ = true;
        accept();
    });
    connect(list_, &QListWidget::itemActivated, this, &NewLinerDialog::Choose);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_);
    layout->addWidget(buttons);
    resize(4 * (kThumbnail + 40) + 40, 2 * (kThumbnail + 56) + 80);
}

void NewLinerDialog::Choose() {
    const QListWidgetItem* item = list_->currentItem();
    if (!item) return;
    chosen_ = item->data(Qt::UserRole).toString();
    accept();
}
