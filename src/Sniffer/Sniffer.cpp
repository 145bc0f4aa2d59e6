#include "Sniffer.h"

#include "CVideoSniffer.h"
#include "CaptureEngines.h"
#include "CaptureMessageBoxes.h"
#include "DownloadQueue.h"
#include "MessageBox.h"
#include "Program.h"
#include "SnifferKeyLog.h"
#include "Trace.h"
#include "WindowTitle.h"
#include "WorkFolders.h"
#include "ui_DialogAbout.h"
#include "ui_InsertURL.h"
#include "ui_Navigation.h"
#include "ui_OldSniffer.h"
#include "ui_Options.h"
#include "ui_Progress.h"
#include "ui_Settings.h"
#include "ui_Sniffer.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QSettings>
#include <QTime>
#include <QTimer>
#include <QVBoxLayout>

namespace {

// Builds a form on a page of its own inside a container of the main form.
template<typename Form>
void placeForm(Form &form, QWidget *container)
{
    auto *page = new QWidget(container);
    form.setupUi(page);
    auto *layout = new QVBoxLayout(container);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(page);
}

} // namespace

Sniffer::Sniffer(QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::Sniffer>())
    , navigation(std::make_unique<Ui::Navigation>())
    , insertUrl(std::make_unique<Ui::InsertURL>())
    , options(std::make_unique<Ui::Options>())
    , progress(std::make_unique<Ui::Progress>())
    , settingsPage(std::make_unique<Ui::Settings>())
    , oldSniffer(std::make_unique<Ui::OldSniffer>())
{
    ui->setupUi(this);
    qDebug() << "----->>>>> " << QTime::currentTime().toString(QStringLiteral("HH:mm:ss")) << " <<<<<-----";
    recorderSaveMode = false;
    urlFieldShown = false;
    setSettingsFile();
    provisionSettingsFile();
    settingsRead();
    keyLog = std::make_unique<SnifferKeyLog>(qEnvironmentVariable("SSLKEYLOGFILE"), dataFolder);
    // Secrets a crashed run left must not wait until the sniffer page is opened.
    keyLog->removeLeftover();
    WorkFolders::setListFile(QDir(dataFolder).filePath(QStringLiteral("work-folders.json")));
}

Sniffer::~Sniffer()
{
    CaptureReporter::install(nullptr);
    // Destroying the pages moves the focus; the application must not report that to a half-destroyed window.
    if (QCoreApplication::instance() != nullptr) {
        disconnect(QCoreApplication::instance(), nullptr, this, nullptr);
    }
}

void Sniffer::start()
{
    trace() << "start"
            << ":"
            << "OK";
    captureMessages = std::make_unique<CaptureMessageBoxes>();
    CaptureReporter::install(captureMessages.get());
    engines = std::make_unique<CaptureEngines>(&Sniffer::queueSniffReport, keyLogPath());
    initWidgets();
    initClickDownloadOS();
    initClickHelp();
    initDownloader();
    initQueue();
    initCookies();
    initToolUpdate();
    showMainDialog();
    initRecorder();
    // Once the window shows: the question needs it as parent.
    QTimer::singleShot(0, this, &Sniffer::offerUnfinishedWork);
}

void Sniffer::initWidgets()
{
    trace() << "initWidgets"
            << ":"
            << "OK";

    placeForm(*navigation, ui->widgetNavigation);
    connect(navigation->btnDownloaderYT, &QPushButton::clicked, this, &Sniffer::showURLField);
    connect(navigation->btnDownloaderOS, &QPushButton::clicked, this, &Sniffer::showURLField);
    connect(navigation->btnSniffer, &QPushButton::clicked, this, &Sniffer::runOldSniffer);
    connect(navigation->btnRecorderVC, &QPushButton::clicked, this, &Sniffer::runRecorderAV);
    connect(navigation->btnBack, &QPushButton::clicked, this, &Sniffer::showPreviousPage);
    connect(navigation->btnOptions, &QPushButton::clicked, this, &Sniffer::showOptions);
    connect(navigation->btnOptions_2, &QPushButton::clicked, this, &Sniffer::showOptions);
    connect(navigation->btnHelp, &QPushButton::clicked, this, &Sniffer::onClickHelp);
    connect(navigation->btnHelp_2, &QPushButton::clicked, this, &Sniffer::onClickHelp);

    placeForm(*oldSniffer, ui->widgetOldSniffer);
    placeForm(*insertUrl, ui->widgetInsertURL);
    connect(insertUrl->btnProcessURL, &QPushButton::clicked, this, &Sniffer::processURL);
    connect(insertUrl->inputURL, &QLineEdit::returnPressed, this, &Sniffer::processURL);
    placeForm(*options, ui->widgetOptions);
    connect(options->btnDownloadVideo, &QPushButton::clicked, this, &Sniffer::downloadVideo);
    connect(options->btnDownloadAudio, &QPushButton::clicked, this, &Sniffer::downloadAudio);
    placeForm(*progress, ui->widgetProgress);
    iterationTimer = new QTimer(this);
    iterationTimer->setObjectName(QStringLiteral("iterationTimer"));
    connect(iterationTimer, &QTimer::timeout, this, &Sniffer::progressBarIteration);
    connect(progress->btnCloseProgress, &QPushButton::clicked, this, &Sniffer::stopLastProcess);
    dotsTimer = new QTimer(this);
    dotsTimer->setObjectName(QStringLiteral("dotsTimer"));
    connect(dotsTimer, &QTimer::timeout, this, &Sniffer::progressBarTextIteration);
    placeForm(*settingsPage, ui->widgetSettings);
    connect(settingsPage->btnSave, &QPushButton::clicked, this, &Sniffer::saveDefaultFilePath);
    connect(settingsPage->btnSelectVideoPath, &QToolButton::clicked, this, &Sniffer::selectDefaultFilePath);
    connect(settingsPage->btnSelectAudioPath, &QToolButton::clicked, this, &Sniffer::selectDefaultFilePath);

    widgetStyles.insert(insertUrl->inputURL,
                        { QStringLiteral("background-color: white"), QStringLiteral("background-position: center"),
                          QStringLiteral("background-repeat: no-repeat"), QStringLiteral("border: 2px solid gray"),
                          QStringLiteral("background-image: url(:/bgURL)") });
    widgetStyles.insert(ui->widgetNavigation, { QStringLiteral("background-color:#1d1d1e") });
    const QString pageStyle = widgetStyles.value(ui->widgetNavigation).join(QLatin1Char(';'));
    for (const LayerPlan::Page page : LayerPlan::pages()) {
        container(page)->setStyleSheet(pageStyle);
        container(page)->setMinimumHeight(0);
    }

    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    setWindowFlags(windowFlags() | Qt::WindowStaysOnTopHint);
    setWindowFlags(windowFlags() | Qt::WindowMinimizeButtonHint);
    setFixedWidth(528);

    settingsPage->pathVideo->setText(settingsObject->value(SettingsKeys::SavePathVideo, QString()).toString());
    settingsPage->pathAudio->setText(settingsObject->value(SettingsKeys::SavePathAudio, QString()).toString());
    updateWindowTitle(QString());

    // Monospaced, so the columns of the sniffed list and the format list line up.
    QFont columns(QStringLiteral("Courier New"), 9, QFont::Thin, false);
    columns.setStyleHint(QFont::Monospace);
    oldSniffer->mediaList->setFont(columns);
    oldSniffer->label->setFont(columns);
    options->listFormats->setFont(columns);
}

void Sniffer::showMainDialog()
{
    trace() << "showMainDialog"
            << ":"
            << "OK";
    showLayer(LayerMain);
    show();
    if (checkLastUpdateDate()) {
        startToolUpdate(false);
    }
}

void Sniffer::updateWindowTitle(const QString &version)
{
    setWindowTitle(composeWindowTitle(
        version.isEmpty() ? settingsObject->value(SettingsKeys::LastUpdateVersion, QStringLiteral("last")).toString()
                          : version));
}

void Sniffer::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::RightButton) {
        emit customContextMenuRequested(event->position().toPoint());
    }
}

void Sniffer::closeEvent(QCloseEvent *event)
{
    trace() << "closeEvent"
            << ":"
            << "OK";
    // Unfinished downloads are offered again at the next start, but the user should know they stop now.
    if (queue != nullptr && queue->pending() > 0
        && !MessageBox::question(this, Program::name,
                                 tr("%n download(s) have not finished. They are offered again when Corvane 2 "
                                    "starts next. Quit now?",
                                    nullptr, queue->pending()))) {
        event->ignore();
        return;
    }
    event->accept();
}

void Sniffer::keyPressEvent(QKeyEvent *event)
{
    // A dialog's Escape rejects it, which would end the program; only closing the window does that.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
