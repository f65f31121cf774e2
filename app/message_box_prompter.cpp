#include "app/message_box_prompter.h"

#include <QApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/strings.h"

namespace {

QString Text(uint16_t id) { return QString::fromStdString(LoadString(id)); }

}  // namespace

QWidget* MessageBoxPrompter::OwnerWidget(const MessageOwner& owner) const {
    switch (owner.kind) {
        case MessageOwner::Kind::None: return nullptr;
        case MessageOwner::Kind::MainWindow: return mainWindow_;
        case MessageOwner::Kind::Dialog: {
            QWidget* dialog = qobject_cast<QWidget*>(owner.dialog);
            return dialog ? dialog : mainWindow_.data();
        }
    }
    return mainWindow_;
}

MessageResult MessageBoxPrompter::Show(const MessageOwner& owner, const MessageStyle& style,
                                       const std::string& text) {
    QMessageBox box(OwnerWidget(owner));
    box.setWindowTitle(Text(IDS_APP_NAME));
    box.setText(QString::fromStdString(text));
    switch (style.icon) {
        case MessageIcon::None: box.setIcon(QMessageBox::NoIcon); break;
        case MessageIcon::Information: box.setIcon(QMessageBox::Information); break;
        case MessageIcon::Question: box.setIcon(QMessageBox::Question); break;
        case MessageIcon::Exclamation: box.setIcon(QMessageBox::Warning); break;
        case MessageIcon::Stop: box.setIcon(QMessageBox::Critical); break;
    }
    switch (style.buttons) {
        case MessageButtons::Ok:
            box.setStandardButtons(QMessageBox::Ok);
            break;
        case MessageButtons::OkCancel:
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            box.setDefaultButton(QMessageBox::Ok);
            break;
        case MessageButtons::YesNo:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            box.setDefaultButton(QMessageBox::Yes);
            break;
        case MessageButtons::YesNoCancel:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            box.setDefaultButton(QMessageBox::Yes);
            break;
    }
    if (style.systemModal) box.setWindowModality(Qt::ApplicationModal);
    // A message must be readable even while the busy cursor is up.
    const bool busy = busyDepth_ > 0;
    if (busy) QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
    const int pressed = box.exec();
    if (busy) QGuiApplication::restoreOverrideCursor();
    switch (pressed) {
        case QMessageBox::Yes: return MessageResult::Yes;
        case QMessageBox::No: return MessageResult::No;
        case QMessageBox::Cancel: return MessageResult::Cancel;
        case QMessageBox::Ok: return MessageResult::Ok;
        default:
            // Closed with Escape or the close box.
            return style.buttons == MessageButtons::Ok ? MessageResult::Ok
                   : style.buttons == MessageButtons::YesNo ? MessageResult::No
                                                            : MessageResult::Cancel;
    }
}

MergeDialog::MergeDialog(const QString& caption, QWidget* parent) : QDialog(parent) {
    setObjectName("MergeDialog");
    setWindowTitle(caption);
    auto* layout = new QVBoxLayout(this);
    for (uint16_t id : {IDS_MERGE_EARLIER_VERSION, IDS_MERGE_SELECT_ALL, IDS_MERGE_SELECT_TEXT,
                        IDS_MERGE_SELECT_CANCEL}) {
        auto* label = new QLabel(Text(id), this);
        label->setWordWrap(true);
        layout->addWidget(label);
    }
    auto* buttons = new QHBoxLayout;
    auto* all = new QPushButton(tr("&All"), this);
    auto* text = new QPushButton(tr("&Text"), this);
    auto* cancel = new QPushButton(tr("Cancel"), this);
    all->setObjectName("All");
    text->setObjectName("Text");
    cancel->setObjectName("Cancel");
    all->setDefault(true);
    buttons->addStretch();
    buttons->addWidget(all);
    buttons->addWidget(text);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    connect(all, &QPushButton::clicked, this, [this] {
        choice_ = MergeChoice::All;
        accept();
    });
    connect(text, &QPushButton::clicked, this, [this] {
        choice_ = MergeChoice::Text;
        accept();
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    setMinimumWidth(420);
}

MergeChoice MessageBoxPrompter::AskMerge(const std::string& caption) {
    MergeDialog dialog(QString::fromStdString(caption), mainWindow_);
    dialog.exec();
    return dialog.choice();
}

RecoveryChoice MessageBoxPrompter::AskRecover(const std::string& text) {
    QMessageBox box(mainWindow_);
    box.setWindowTitle(Text(IDS_APP_NAME));
    box.setIcon(QMessageBox::Question);
    box.setText(QString::fromStdString(text));
    QPushButton* recover = box.addButton(QObject::tr("&Recover"), QMessageBox::AcceptRole);
    QPushButton* discard = box.addButton(QObject::tr("&Discard"), QMessageBox::DestructiveRole);
    QPushButton* later = box.addButton(QObject::tr("&Later"), QMessageBox::RejectRole);
    box.setDefaultButton(recover);
    box.setEscapeButton(later);
    box.exec();
    if (box.clickedButton() == recover) return RecoveryChoice::Recover;
    if (box.clickedButton() == discard) return RecoveryChoice::Discard;
    return RecoveryChoice::Later;
}

void MessageBoxPrompter::RequestClose() {
    // Posted, so that whatever reported the failure unwinds first.
    if (mainWindow_) QMetaObject::invokeMethod(mainWindow_, "close", Qt::QueuedConnection);
}

void MessageBoxPrompter::SetBusy(bool on) {
    if (on) {
        ++busyDepth_;
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    } else if (busyDepth_ > 0) {
        --busyDepth_;
        QGuiApplication::restoreOverrideCursor();
    }
}

BusyCursor::BusyCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
BusyCursor::~BusyCursor() { QGuiApplication::restoreOverrideCursor(); }
