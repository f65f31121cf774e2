#include "app/application.h"

#include <QByteArray>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "platform/messages.h"
#include "platform/paths.h"

namespace {

QtMessageHandler g_previousHandler = nullptr;

void ReportStartFailure(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type != QtFatalMsg) {
        if (g_previousHandler) g_previousHandler(type, context, message);
        return;
    }
    const QByteArray display = qgetenv("DISPLAY");
    const QByteArray wayland = qgetenv("WAYLAND_DISPLAY");
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    std::fprintf(stderr,
                 "Reelcard cannot open its window: no window system could be reached "
                 "(DISPLAY=%s, WAYLAND_DISPLAY=%s%s%s).\n"
                 "Start it from a desktop session, or check that the display it names is running.\n",
                 display.isEmpty() ? "unset" : display.constData(),
                 wayland.isEmpty() ? "unset" : wayland.constData(),
                 platform.isEmpty() ? "" : ", QT_QPA_PLATFORM=", platform.constData());
    std::fprintf(stderr, "(%s)\n", message.toLocal8Bit().constData());
    std::fflush(stderr);
    std::_Exit(1);
}

}  // namespace

StartFailureReport::StartFailureReport() { g_previousHandler = qInstallMessageHandler(ReportStartFailure); }

StartFailureReport::~StartFailureReport() {
    qInstallMessageHandler(g_previousHandler);
    g_previousHandler = nullptr;
}

ReelcardApplication::ReelcardApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setOrganizationName("Reelcard");
    setApplicationName("Reelcard");
    setApplicationVersion(ProgramVersion());
}

bool ReelcardApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::bad_alloc&) {
        // The message box itself needs some memory; never report recursively.
        if (prompter_ && !reporting_) {
            reporting_ = true;
            FatalOutOfMemory(*prompter_);
            reporting_ = false;
        }
        return false;
    }
}
