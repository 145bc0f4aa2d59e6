#pragma once

#include "SettingsFile.h"

#include <QDialog>

#include <memory>

class QSettings;

namespace Ui {
class Sniffer;
}

// The main window: a fixed-width stack of pages ("layers") from which every feature is reached.
class Sniffer final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Sniffer)

public:
    explicit Sniffer(QWidget *parent = nullptr);
    ~Sniffer() override;

    void start();

    QSettings &settings() const;
    const SettingsLists &lists() const;
    QString settingsFilePath() const;

public slots:
    void showLogsFolder();

private:
    void setSettingsFile();
    void provisionSettingsFile();
    void settingsRead();
    void readSettingsList(const QString &group);

    void initWidgets();
    void initClickDownloadOS();
    void initClickHelp();
    void initDownloader();
    void showMainDialog();
    void updateWindowTitle(const QString &version);

    std::unique_ptr<Ui::Sniffer> ui;
    std::unique_ptr<QSettings> settingsObject;
    SettingsLists settingsLists;
    QString dataFolder;
    QString settingsPath;
    bool recorderSaveMode = false;
    bool urlFieldShown = false;
};
