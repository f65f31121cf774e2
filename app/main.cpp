// Reelcard: designs and prints cassette J-cards.  The one optional argument
// is a liner file to open.
#include <QSettings>
#include <QVariant>
#include <QStringList>
#include <cstdio>
#include <cstring>
#include <optional>

#include "app/application.h"
#include "app/export_commands.h"
#include "dialogs/file_dialogs.h"
#include "app/main_window.h"
#include "app/message_box_prompter.h"
#include "app/print_commands.h"
#include "app/print_dialogs.h"
#include "document/recovery.h"
#include "app/print_preview.h"
#include "platform/messages.h"
#include "platform/paths.h"
#include "platform/image_threads.h"

int main(int argc, char** argv) {
    // Answered before any window system is needed.
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs("usage: reelcard [FILE]\n"
                   "       reelcard --help | --version\n"
                   "Designs and prints cassette J-cards.  Opens the liner file FILE, or a new\n"
                   "liner made from the default format when no file is named.\n",
                   stdout);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("reelcard %s\n", ProgramVersion());
        return 0;
    }
    std::optional<StartFailureReport> startReport(std::in_place);
    ReelcardApplication app(argc, argv);
    startReport.reset();

    KeepImageThreadsReady();
    MessageBoxPrompter prompter;
    QtFileDialogs fileDialogs;
    QSettings store;  // organization and application "Reelcard"
    // The picture plugins read their pixel limit from the environment; the
    // settings give it unless the environment already does.
    const QVariant megapixels = store.value(QStringLiteral("Options/PictureMegapixels"));
    if (megapixels.isValid() && qEnvironmentVariableIsEmpty("REELCARD_PICTURE_MEGAPIXELS")) {
        qputenv("REELCARD_PICTURE_MEGAPIXELS", megapixels.toString().toUtf8());
    }

    MainWindowServices services;
    services.store = &store;
    services.prompter = &prompter;
    services.fileDialogs = &fileDialogs;
    services.programFolder = GetProgramFolder();

    MainWindow window(services);
    // A crash or a kill that can be caught writes the unsaved changes first;
    // a request to end from outside ends the program in order.
    RecoveryCopies::InstallCrashHandler();
    RecoveryCopies::EndInOrderOn(&window, [&window](int signal) { window.EndOnRequest(signal); });
    prompter.SetMainWindow(&window);
    QtPrintDialogs printDialogs;
    Printing printing(window, printDialogs, prompter);
    printing.Install();
    PrintPreview preview(window, printing, prompter);
    preview.Install();
    Exporting exporting(window, printing, fileDialogs, prompter);
    exporting.Install();
    app.SetPrompter(&prompter);

    // The whole rest of the command line names one file, spaces and all.
    QStringList args = app.arguments();
    args.removeFirst();
    if (!window.Start(args.join(' '))) return 0;
    window.show();
    return app.exec();
}
