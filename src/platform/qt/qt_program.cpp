// The Qt application that the program runs in.
#include <QApplication>

#include "platform/platform.h"

namespace platform {

namespace {

QtMessageHandler previousHandler = nullptr;

// The GL window refuses focus on purpose (keys go to the main window);
// Qt warns about that at every activation.
void FilterMessages(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.contains(QLatin1String("requestActivate() called for")) &&
        message.contains(QLatin1String("WindowDoesNotAcceptFocus")))
        return;
    if (previousHandler) previousHandler(type, context, message);
}

}  // namespace

int RunWindowSystem(int argc, char** argv, int (*body)(const std::vector<std::string>& arguments)) {
    previousHandler = qInstallMessageHandler(FilterMessages);
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    // What Qt left of the command line once it took its own options.
    return body(ProgramArguments(argc, argv));
}

}  // namespace platform
