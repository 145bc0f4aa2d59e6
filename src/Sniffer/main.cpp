#include "Log.h"
#include "QuitOnSignal.h"
#include "Sniffer.h"
#include "ToolProcess.h"

#include <QApplication>
#include <QDir>

int main(int argc, char *argv[])
{
    qInstallMessageHandler(Log::messageHandler);
    QApplication app(argc, argv);
    QCoreApplication::addLibraryPath(
        QDir::toNativeSeparators(QCoreApplication::applicationDirPath() + QStringLiteral("/plugins")));
    Q_INIT_RESOURCE(images);

    Sniffer window;
    window.start();
    QObject::connect(&app, &QApplication::focusChanged, &window, &Sniffer::focusChanged);
    // No converter or download may outlive the window; a capture still running finishes its file.
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &app, &ToolProcess::stopAll);
    QuitOnSignal::install();
    return QApplication::exec();
}
