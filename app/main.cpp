// Reelcard: designs and prints cassette J-cards.  The one optional argument
// is a liner file to open.
#include <QSettings>
#include <QStringList>
#include <optional>

#include "app/application.h"
#include "app/file_dialogs.h"
#include "app/main_window.h"
#include "app/message_box_prompter.h"
#include "app/print_commands.h"
#include "app/print_dialogs.h"
#include "platform/messages.h"

int main(int argc, char** argv) {
    std::optional<StartFailureReport> startReport(std::in_place);
    ReelcardApplication app(argc, argv);
    startReport.reset();

    MessageBoxPrompter prompter;
    QtFileDialogs fileDialogs;
    QSettings store;  // organization and application "Reelcard"

    MainWindowServices services;
    services.store = &store;
    services.prompter = &prompter;
    services.fileDialogs = &fileDialogs;
    services.programFolder = GetProgramFolder();

    MainWindow window(services);
    prompter.SetMainWindow(&window);
    QtPrintDialogs printDialogs;
    Printing printing(window, printDialogs, prompter);
    printing.Install();
    app.SetPrompter(&prompter);

    // The whole rest of the command line names one file, spaces and all.
    QStringList args = app.arguments();
    args.removeFirst();
    if (!window.Start(args.join(' '))) return 0;
    window.show();
    return app.exec();
}
