#include "app/help_window.h"

#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRegularExpression>
#include <QSplitter>
#include <QTextBrowser>
#include <QTextDocument>
#include <QUrl>
#include <QVBoxLayout>

namespace {

QString PlainTextOf(const QString& file) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) return {};
    QTextDocument doc;
    doc.setHtml(QString::fromUtf8(f.readAll()));
    return doc.toPlainText();
}

QString TitleOf(const QString& file) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) return {};
    static const QRegularExpression title("<title>(.*)</title>", QRegularExpression::CaseInsensitiveOption);
    const auto match = title.match(QString::fromUtf8(f.readAll()));
    return match.hasMatch() ? match.captured(1).trimmed() : QFileInfo(file).completeBaseName();
}

}  // namespace

HelpWindow::HelpWindow(const QString& folder, QWidget* parent) : QWidget(parent, Qt::Window), folder_(folder) {
    setObjectName("HelpWindow");
    setWindowTitle(tr("Reelcard Help"));

    browser_ = new QTextBrowser(this);
    browser_->setObjectName("HelpBrowser");
    browser_->setSearchPaths({folder_});
    browser_->setOpenExternalLinks(true);

    search_ = new QLineEdit(this);
    search_->setObjectName("HelpSearch");
    search_->setPlaceholderText(tr("Words to find"));
    search_->setClearButtonEnabled(true);
    results_ = new QListWidget(this);
    results_->setObjectName("HelpResults");
    // Said in a label that wraps, as the narrow list would cut it off.
    noResults_ = new QLabel(tr("No page contains all of these words."), this);
    noResults_->setObjectName("HelpNoResults");
    noResults_->setWordWrap(true);
    noResults_->hide();

    auto* searchLabel = new QLabel(tr("&Search:"), this);
    searchLabel->setBuddy(search_);
    auto* contents = new QLabel(tr("<a href=\"index.html\">Contents</a>"), this);
    connect(contents, &QLabel::linkActivated, this, [this](const QString&) { ShowContents(); });

    auto* side = new QWidget(this);
    auto* sideLayout = new QVBoxLayout(side);
    sideLayout->setContentsMargins(0, 0, 0, 0);
    sideLayout->addWidget(contents);
    sideLayout->addWidget(searchLabel);
    sideLayout->addWidget(search_);
    sideLayout->addWidget(noResults_);
    sideLayout->addWidget(results_);

    auto* splitter = new QSplitter(this);
    splitter->addWidget(side);
    splitter->addWidget(browser_);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({200, 560});
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(splitter);

    connect(search_, &QLineEdit::returnPressed, this, &HelpWindow::RunSearch);
    connect(search_, &QLineEdit::textChanged, this, &HelpWindow::RunSearch);
    connect(results_, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
        if (item->data(Qt::UserRole).toString().isEmpty()) return;
        browser_->setSource(QUrl::fromLocalFile(QDir(folder_).filePath(item->data(Qt::UserRole).toString())));
    });
    connect(results_, &QListWidget::itemClicked, results_, &QListWidget::itemActivated);
    resize(800, 600);
}

void HelpWindow::ShowContents() {
    browser_->setSource(QUrl::fromLocalFile(QDir(folder_).filePath("index.html")));
    show();
    raise();
    activateWindow();
}

void HelpWindow::ShowSearch() {
    if (browser_->source().isEmpty()) ShowContents();
    show();
    raise();
    activateWindow();
    search_->setFocus();
    search_->selectAll();
}

QStringList HelpWindow::Search(const QString& query) const {
    const QStringList words = query.split(QRegularExpression("\\s+"), Qt::SkipEmptyParts);
    if (words.isEmpty()) return {};
    QStringList found;
    const QDir dir(folder_);
    for (const QString& name : dir.entryList({"*.html"}, QDir::Files, QDir::Name)) {
        const QString text = PlainTextOf(dir.filePath(name));
        bool all = true;
        for (const QString& word : words) {
            if (!text.contains(word, Qt::CaseInsensitive)) {
                all = false;
                break;
            }
        }
        if (all) found << name;
    }
    return found;
}

void HelpWindow::RunSearch() {
    results_->clear();
    const QDir dir(folder_);
    const QStringList found = Search(search_->text());
    for (const QString& name : found) {
        auto* item = new QListWidgetItem(TitleOf(dir.filePath(name)), results_);
        item->setData(Qt::UserRole, name);
    }
    // Say so rather than show an empty list.
    noResults_->setVisible(found.isEmpty() && !search_->text().trimmed().isEmpty());
}

void HelpWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}
