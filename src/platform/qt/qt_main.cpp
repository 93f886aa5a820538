// Program entry of the Linux build: the Qt application, then the core.
#include <QApplication>

#include <string>
#include <vector>

#include "app/tester_app.h"
#include "platform/platform.h"

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

int main(int argc, char** argv) {
    previousHandler = qInstallMessageHandler(FilterMessages);
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    // What Qt left of the command line once it took its own options.
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i]);
    return AppMain(platform::ModuleInstance(), arguments);
}
