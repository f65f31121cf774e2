#include "app/application.h"

#include <new>

#include "platform/messages.h"
#include "platform/paths.h"

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
