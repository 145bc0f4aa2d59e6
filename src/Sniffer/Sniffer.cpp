#include "Sniffer.h"

#include "Trace.h"
#include "ui_Sniffer.h"

#include <QSettings>
#include <QTime>

namespace {
const QString programName = QStringLiteral("Corvane 2");
const QString programVersion = QStringLiteral("2.0.0.299");
} // namespace

Sniffer::Sniffer(QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::Sniffer>())
{
    ui->setupUi(this);
    qDebug() << "----->>>>> " << QTime::currentTime().toString(QStringLiteral("HH:mm:ss")) << " <<<<<-----";
    recorderSaveMode = false;
    urlFieldShown = false;
    setSettingsFile();
    provisionSettingsFile();
    settingsRead();
}

Sniffer::~Sniffer() = default;

void Sniffer::start()
{
    trace() << "start"
            << ":"
            << "OK";
    initWidgets();
    initClickDownloadOS();
    initClickHelp();
    initDownloader();
    showMainDialog();
}

void Sniffer::initWidgets()
{
    trace() << "initWidgets"
            << ":"
            << "OK";
    setFixedWidth(528);
    updateWindowTitle(QString());
}

void Sniffer::initClickDownloadOS()
{
    trace() << "initClickDownloadOS"
            << ":"
            << "OK";
}

void Sniffer::initClickHelp()
{
    trace() << "initClickHelp"
            << ":"
            << "OK";
}

void Sniffer::initDownloader()
{
    trace() << "initDownloader"
            << ":"
            << "OK";
}

void Sniffer::showMainDialog()
{
    trace() << "showMainDialog"
            << ":"
            << "OK";
    setFixedHeight(ui->widgetNavigation->minimumHeight());
    show();
}

void Sniffer::updateWindowTitle(const QString &version)
{
    const QString shown = version.isEmpty()
        ? settingsObject->value(SettingsKeys::LastUpdateVersion, QStringLiteral("last")).toString()
        : version;
    QStringList parts { programName, QLatin1Char('(') + shown + QLatin1Char(')') };
    if (parts.last().size() <= 6) {
        parts.append(QLatin1Char('(') + programVersion + QLatin1Char(')'));
    }
    setWindowTitle(parts.join(QLatin1Char(' ')));
}
