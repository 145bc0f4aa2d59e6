#include "Sniffer.h"

#include "Trace.h"
#include "ui_InsertURL.h"
#include "ui_Navigation.h"
#include "ui_Options.h"
#include "ui_Sniffer.h"

#include <QGuiApplication>
#include <QLineEdit>
#include <QScreen>
#include <QStyle>
#include <QTimer>

#include <optional>

QWidget *Sniffer::container(LayerPlan::Page page) const
{
    switch (page) {
    case LayerPlan::Page::Navigation:
        return ui->widgetNavigation;
    case LayerPlan::Page::InsertUrl:
        return ui->widgetInsertURL;
    case LayerPlan::Page::Options:
        return ui->widgetOptions;
    case LayerPlan::Page::Progress:
        return ui->widgetProgress;
    case LayerPlan::Page::Settings:
        return ui->widgetSettings;
    case LayerPlan::Page::Sniffer:
        return ui->widgetOldSniffer;
    }
    return ui->widgetNavigation;
}

void Sniffer::showLayer(int layer)
{
    layerHistory.append(layer);
    // The options page needs both the title and the format list; the first of the two replies waits.
    if (layer == LayerOptions && !recorderSaveMode && !videoInfo().hasTitleAndFormats()) {
        return;
    }

    for (QWidget *row : { static_cast<QWidget *>(options->inputTitle), static_cast<QWidget *>(options->selectPath),
                          static_cast<QWidget *>(options->btnSelectPath), static_cast<QWidget *>(options->label_2),
                          static_cast<QWidget *>(options->label_3) }) {
        row->hide();
    }
    const bool downloadDetails = !recorderSaveMode;
    setStyleSheet(recorderSaveMode ? QStringLiteral("background-color:#1d1d1e;") : QString());
    options->lblTitle->setVisible(downloadDetails);
    // A page of unknown length, or with a single format, keeps those rows hidden.
    options->lblDLLength->setVisible(downloadDetails && options->lblDLLength->text() != QStringLiteral("0:00"));
    options->listFormats->setVisible(downloadDetails && options->listFormats->count() > 0);
    options->listVideos->setVisible(downloadDetails && options->listVideos->count() > 0);

    const int navigationPage = LayerPlan::navigationPage(layer);
    if (navigation->stackedWidget->currentIndex() != navigationPage) {
        navigation->stackedWidget->setCurrentIndex(navigationPage);
    }

    // The list of a page's videos grows the page as the format list does.
    const int videosHeight = options->listVideos->isHidden() ? 0 : options->listVideos->height();
    const std::optional<int> listHeight = options->listFormats->isHidden()
        ? std::nullopt
        : std::optional<int>(options->listFormats->height() + videosHeight);
    const int height = pageHeights.windowHeight(layer, listHeight, options->lblTitle->isHidden());
    int fixedPages = 0;
    for (const LayerPlan::Page page : LayerPlan::pages()) {
        QWidget *box = container(page);
        const bool visible = LayerPlan::shows(layer, page);
        box->setVisible(visible);
        if (visible && page != LayerPlan::Page::Options) {
            box->setFixedHeight(pageHeights.pageHeight(page));
            fixedPages += pageHeights.pageHeight(page);
        }
    }
    if (LayerPlan::shows(layer, LayerPlan::Page::Options)) {
        container(LayerPlan::Page::Options)->setFixedHeight(height - fixedPages);
    }
    setFixedHeight(height);

    if (ui->widgetProgress->isHidden() && iterationTimer->isActive()) {
        iterationTimer->stop();
    }

    if (layer == LayerOptions) {
        trace() << "showLayer"
                << ":"
                << "Ok";
        if (const QScreen *screen = QGuiApplication::primaryScreen()) {
            setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(), screen->availableGeometry()));
        }
        setSaveFilePath();
    }
}

void Sniffer::showPreviousPage()
{
    trace() << "showPreviousPage"
            << ":"
            << "OK";
    if (recorderSaveMode && !discardRecording()) {
        return;
    }
    const int target
        = LayerPlan::previousLayer(layerHistory.value(layerHistory.size() - 1, LayerMain), recorderSaveMode);
    recorderSaveMode = false;
    if (!layerHistory.isEmpty()) {
        layerHistory.removeLast();
    }
    showLayer(target);
}

void Sniffer::showOptions()
{
    trace() << "showOptions"
            << ":"
            << "OK";
    showLayer(LayerSettings);
}

void Sniffer::focusChanged(QWidget *old, QWidget *now)
{
    if (now != nullptr && now == insertUrl->inputURL) {
        focusOnInputURL();
    } else if (old != nullptr && old == options->inputTitle) {
        options->lblTitle->setText(options->inputTitle->text());
    }
}

void Sniffer::focusOnInputURL()
{
    if (!urlFieldShown) {
        return;
    }
    QStringList style = widgetStyles.value(insertUrl->inputURL);
    if (!style.isEmpty()) {
        style.removeLast();
    }
    insertUrl->inputURL->setStyleSheet(style.join(QLatin1Char(';')));
}

void Sniffer::tovrinSetDefaultURL()
{
    ++testUrlIndex;
    insertUrl->inputURL->setFocus();
    insertUrl->inputURL->setText(settingsLists.value(SettingsGroups::TestUrls).value(testUrlIndex));
    if (testUrlIndex >= 3) {
        testUrlIndex = 0;
    }
}
