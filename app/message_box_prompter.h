// The program's Prompter: message boxes captioned "Reelcard", the merge
// question as a small dialog, and the busy cursor.
#pragma once

#include <QDialog>
#include <QPointer>

#include "platform/prompter.h"

class QWidget;

class MessageBoxPrompter : public Prompter {
public:
    explicit MessageBoxPrompter(QWidget* mainWindow = nullptr) : mainWindow_(mainWindow) {}
    void SetMainWindow(QWidget* window) { mainWindow_ = window; }

    MessageResult Show(const MessageOwner& owner, const MessageStyle& style,
                       const std::string& text) override;
    MergeChoice AskMerge(const std::string& caption) override;
    RecoveryChoice AskRecover(const std::string& text) override;
    void RequestClose() override;
    void SetBusy(bool on) override;

private:
    QWidget* OwnerWidget(const MessageOwner& owner) const;

    QPointer<QWidget> mainWindow_;
    int busyDepth_ = 0;
};

// The question asked before a file of an earlier version is merged.
class MergeDialog : public QDialog {
    Q_OBJECT

public:
    MergeDialog(const QString& caption, QWidget* parent = nullptr);
    MergeChoice choice() const { return choice_; }

private:
    MergeChoice choice_ = MergeChoice::Cancel;
};

// Shows the busy cursor for the life of the guard.
class BusyCursor {
public:
    BusyCursor();
    ~BusyCursor();
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};
