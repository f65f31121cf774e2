// The help window: the HTML help that ships beside the program, with its
// contents page and a search over every page.
#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>

class QLineEdit;
class QLabel;
class QListWidget;
class QTextBrowser;

class HelpWindow : public QWidget {
    Q_OBJECT

public:
    // `folder` holds index.html and the other pages.
    explicit HelpWindow(const QString& folder, QWidget* parent = nullptr);

    void ShowContents();
    void ShowSearch();
    // The pages whose text holds every word of `query`, as file names.
    QStringList Search(const QString& query) const;

    QTextBrowser* browser() const { return browser_; }
    QLineEdit* searchField() const { return search_; }
    QListWidget* results() const { return results_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void RunSearch();

    QString folder_;
    QTextBrowser* browser_ = nullptr;
    QLineEdit* search_ = nullptr;
    QLabel* noResults_ = nullptr;
    QListWidget* results_ = nullptr;
};
