// The program's QApplication: running out of memory anywhere in an event
// handler ends in the fatal out-of-memory path instead of a crash.
#pragma once

#include <QApplication>

class Prompter;

class ReelcardApplication : public QApplication {
public:
    ReelcardApplication(int& argc, char** argv);
    void SetPrompter(Prompter* prompter) { prompter_ = prompter; }
    bool notify(QObject* receiver, QEvent* event) override;

private:
    Prompter* prompter_ = nullptr;
    bool reporting_ = false;
};
