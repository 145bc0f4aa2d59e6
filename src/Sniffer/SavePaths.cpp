#include "Sniffer.h"

#include "Platform.h"
#include "SaveName.h"
#include "SaveTargets.h"
#include "Trace.h"
#include "ui_Options.h"
#include "ui_Settings.h"

#include <QDir>
#include <QFileDialog>
#include <QSettings>

using Platform::Folder;
using Platform::standardFolder;

namespace {

constexpr QFileDialog::Options FoldersOnly = QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks;

} // namespace

void Sniffer::setSaveFilePath()
{
    trace() << "setSaveFilePath"
            << ":"
            << "OK";
    const QString &key
        = options->btnDownloadAudio->isHidden() ? SettingsKeys::SavePathAudio : SettingsKeys::SavePathVideo;
    const QString desktop = standardFolder(Folder::Desktop);
    QString folder = settings().value(key).toString();
    // An empty stored folder would put a blank first entry into the list.
    if (folder.isEmpty()) {
        folder = desktop;
    }
    options->selectPath->clear();
    options->selectPath->addItems(SaveTargets::candidateFolders(folder, standardFolder(Folder::Documents),
                                                                standardFolder(Folder::Music),
                                                                standardFolder(Folder::Movies), desktop));
    options->selectPath->setCurrentIndex(0);
}

void Sniffer::selectSavePath()
{
    QString start = options->selectPath->currentText();
    if (start.isEmpty()) {
        start = standardFolder(Folder::Documents);
    }
    const QString path = QFileDialog::getExistingDirectory(this, tr("Save to Directory"), start, FoldersOnly);
    trace() << "selectSavePath"
            << ":"
            << "Add new path" << path;
    if (!path.isEmpty()) {
        options->selectPath->insertItem(0, path);
        options->selectPath->setCurrentIndex(0);
    }
}

bool Sniffer::selectSaveFile()
{
    trace() << "selectSaveFile"
            << ":"
            << "OK";
    const QString fileName = options->inputTitle->text();
    const QString folder
        = SaveTargets::dialogFolder(options->selectPath->currentText(), standardFolder(Folder::Documents));

    // The window's dark style would otherwise be inherited by the dialog.
    setStyleSheet(QString());
    QFileDialog dialog(this, QString(), QString(), QString());
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setViewMode(QFileDialog::Detail);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDirectory(folder);
    // The filter first: set afterwards, it would replace whatever follows the name's last dot.
    dialog.setNameFilter(SaveTargets::filters(downloadKind, recorderSaveMode).join(QStringLiteral(";;")));
    dialog.selectFile(fileName);
    // The dialog sees the name before its extension is added: the final names are checked below.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.setWindowFlags(dialog.windowFlags() | Qt::WindowStaysOnTopHint);
    const bool accepted = dialog.exec() == QDialog::Accepted;

    const QStringList selected = dialog.selectedFiles();
    trace() << "selectSaveFile"
            << ":" << (accepted ? "OK" : "Cancelled") << selected;
    if (!accepted) {
        return false;
    }
    const SaveTargets::Target target
        = SaveTargets::chooseTarget(selected, folder, fileName, dialog.selectedNameFilter());
    const QString baseName = SaveName::clean(target.baseName);
    targetExtension = target.extension;
    options->selectPath->insertItem(0, target.folder);
    options->selectPath->setCurrentIndex(0);
    options->inputTitle->setText(baseName);
    chosenFilePath
        = QDir(target.folder)
              .filePath(target.extension.isEmpty() ? baseName
                                                   : baseName + target.path.right(target.extension.size() + 1));

    // The videos of a page of several each get a name of their own that replaces nothing.
    if (!recorderSaveMode && !videoInfo().videos.isEmpty()) {
        chosenReplace = UserFileSave::Replace::Refuse;
        return true;
    }
    // A video download (not a live recording) is kept beside the result under its own container's name: both may
    // replace a file.
    QStringList written { chosenFilePath };
    if (downloadKind == SaveTargets::VideoKind && !recorderSaveMode && !videoInfo().live) {
        written.append(downloadKeptPath());
    }
    bool cancelled = false;
    chosenReplace = confirmReplace(written, cancelled);
    return !cancelled;
}

void Sniffer::saveDefaultFilePath()
{
    trace() << "saveDefaultFilePath"
            << ":"
            << "OK";
    settings().setValue(SettingsKeys::SavePathVideo, settingsPage->pathVideo->text());
    settings().setValue(SettingsKeys::SavePathAudio, settingsPage->pathAudio->text());
    settings().sync();
    showLayer(LayerMain);
}

void Sniffer::selectDefaultFilePath()
{
    trace() << "selectDefaultFilePath"
            << ":"
            << "OK";
    const bool audio = sender() == settingsPage->btnSelectAudioPath;
    QLineEdit *field = audio ? settingsPage->pathAudio : settingsPage->pathVideo;
    QString start = field->text();
    if (start.isEmpty()) {
        start = standardFolder(Folder::Desktop);
    }
    const QString chosen
        = QFileDialog::getExistingDirectory(this, SaveTargets::defaultFolderCaption(audio), start, FoldersOnly);
    field->setText(chosen.isEmpty() ? start : chosen);
}
