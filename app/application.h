// The program's QApplication: running out of memory anywhere in an event
// handler ends in the fatal out-of-memory path instead of a crash.
#pragma once

#include <QApplication>

class Prompter;

// Qt ends a program that cannot reach any window system with abort(), a crash
// to the user.  While this guard lives (around the application object's
// construction) that failure is reported in plain words and the program ends
// with status 1 instead.
class StartFailureReport {
public:
    StartFailureReport();
    ~StartFailureReport();
    StartFailureReport(const StartFailureReport&) = delete;
    StartFailureReport& operator=(const StartFailureReport&) = delete;
};

class ReelcardApplication : public QApplication {
public:
    ReelcardApplication(int& argc, char** argv);
    void SetPrompter(Prompter* prompter) { prompter_ = prompter; }
    bool notify(QObject* receiver, QEvent* event) override;

private:
    Prompter* prompter_ = nullptr;
    bool reporting_ = false;
};
