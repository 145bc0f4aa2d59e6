#include "Files.h"
#include "Platform.h"
#include "UpdatedToday.h"
#include "WindowFixture.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QToolButton>

namespace {

const QString Cancel = QStringLiteral("<cancel>");

QString desktop()
{
    return Platform::standardFolder(Platform::Folder::Desktop);
}

// Answers the next file dialog: remembers what it offered, then types the answer and accepts, or cancels.
struct DialogSeen
{
    QString title;
    QString directory;
    QStringList filters;
};

void answerFileDialog(DialogSeen &seen, const QString &answer, const QString &filter = QString())
{
    answerNextModal([&seen, answer, filter](QWidget *modal) {
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        QVERIFY(dialog != nullptr);
        seen = { dialog->windowTitle(), QDir(dialog->directory()).absolutePath(), dialog->nameFilters() };
        if (answer == Cancel) {
            dialog->reject();
            return;
        }
        if (!filter.isEmpty()) {
            dialog->selectNameFilter(filter);
        }
        dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(answer);
        static_cast<QDialog *>(dialog)->accept();
    });
}

} // namespace

class tst_SavePaths final : public QObject
{
    Q_OBJECT

private slots:
    void defaultFolderChooser_data();
    void defaultFolderChooser();
    void leavingDefaultFolders_data();
    void leavingDefaultFolders();
    void offeredContainers_data();
    void offeredContainers();
    void chosenFile_data();
    void chosenFile();
    void existingFinalNameIsAskedAbout_data();
    void existingFinalNameIsAskedAbout();
    void offeredName_data();
    void offeredName();
    void optionsFolderList_data();
    void optionsFolderList();
};

void tst_SavePaths::defaultFolderChooser_data()
{
    QTest::addColumn<bool>("audio");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("result");
    // Folder names are relative to the temporary home; "<desktop>" is the user's desktop.
    QTest::newRow("audio chosen") << true << "old"
                                  << "picked"
                                  << "Select default file path for saveaudio"
                                  << "old"
                                  << "picked";
    QTest::newRow("audio cancelled") << true << "old" << Cancel << "Select default file path for saveaudio"
                                     << "old"
                                     << "old";
    QTest::newRow("empty video field starts on desktop")
        << false << QString() << Cancel << "Select default file path for savevideo"
        << "<desktop>"
        << "<desktop>";
}

void tst_SavePaths::defaultFolderChooser()
{
    QFETCH(bool, audio);
    QFETCH(QString, field);
    QFETCH(QString, answer);
    WindowFixture fixture(updatedToday());
    const auto resolve = [&fixture](const QString &name) {
        return name == QStringLiteral("<desktop>") ? desktop() : fixture.home().path() + QLatin1Char('/') + name;
    };
    for (const QString &folder : { QStringLiteral("old"), QStringLiteral("picked") }) {
        QDir().mkpath(resolve(folder));
    }
    QDir().mkpath(desktop());
    const QString storedAudio = fixture.window().settings().value(QStringLiteral("savepath_audio")).toString();
    const QString storedVideo = fixture.window().settings().value(QStringLiteral("savepath_video")).toString();

    fixture.find<QPushButton>(QStringLiteral("btnOptions"))->click();
    auto *edit = fixture.find<QLineEdit>(audio ? QStringLiteral("pathAudio") : QStringLiteral("pathVideo"));
    edit->setText(field.isEmpty() ? QString() : resolve(field));
    DialogSeen seen;
    answerFileDialog(seen, answer == Cancel ? Cancel : resolve(answer));
    fixture.find<QToolButton>(audio ? QStringLiteral("btnSelectAudioPath") : QStringLiteral("btnSelectVideoPath"))
        ->click();

    QTEST(seen.title, "caption");
    QFETCH(QString, start);
    QCOMPARE(seen.directory, QDir(resolve(start)).absolutePath());
    QFETCH(QString, result);
    QCOMPARE(QDir(edit->text()).absolutePath(), QDir(resolve(result)).absolutePath());
    // Nothing is stored before Save.
    QCOMPARE(fixture.window().settings().value(QStringLiteral("savepath_audio")).toString(), storedAudio);
    QCOMPARE(fixture.window().settings().value(QStringLiteral("savepath_video")).toString(), storedVideo);
}

void tst_SavePaths::leavingDefaultFolders_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("stored");
    QTest::newRow("Save") << "btnSave" << true;
    QTest::newRow("Back") << "btnBack" << false;
}

void tst_SavePaths::leavingDefaultFolders()
{
    QFETCH(QString, button);
    QFETCH(bool, stored);
    WindowFixture fixture(updatedToday());
    Sniffer &window = fixture.window();
    const QString oldAudio = window.settings().value(QStringLiteral("savepath_audio")).toString();
    const QString oldVideo = window.settings().value(QStringLiteral("savepath_video")).toString();

    fixture.find<QPushButton>(QStringLiteral("btnOptions"))->click();
    fixture.find<QLineEdit>(QStringLiteral("pathAudio"))->setText(QStringLiteral("/media/audio"));
    fixture.find<QLineEdit>(QStringLiteral("pathVideo"))->setText(QStringLiteral("/media/video"));
    fixture.find<QPushButton>(button)->click();

    QCOMPARE(window.layerHistory.last(), 0);
    QCOMPARE(window.height(), 60);
    // What a later run reads from the file.
    const QSettings file(window.settingsFilePath(), QSettings::IniFormat);
    QCOMPARE(file.value(QStringLiteral("savepath_audio")).toString(),
             stored ? QStringLiteral("/media/audio") : oldAudio);
    QCOMPARE(file.value(QStringLiteral("savepath_video")).toString(),
             stored ? QStringLiteral("/media/video") : oldVideo);
}

void tst_SavePaths::offeredContainers_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("recording");
    QTest::addColumn<QStringList>("filters");
    const QStringList video { "MPEG-4 (*.mp4)",    "MPEG-4 (*.m4v)",   "Audio Video Interleave (*.avi)",
                              "QuickTime (*.mov)", "Matroska (*.mkv)", "Windows Media (*.wmv)" };
    const QStringList audio { "MP3 (*.mp3)",
                              "MP4 Audio (*.m4a)",
                              "Audio Interchange (*.aiff)",
                              "Windows Media (*.wma)",
                              "Free Lossless Audio (*.flac)",
                              "Advanced Audio Coding (*.aac)",
                              "OGG (*.ogg)" };
    QTest::newRow("video") << 4 << false << video;
    QTest::newRow("audio") << 5 << false << audio;
    QTest::newRow("video recording") << 4 << true << QStringList { "MPEG (*.mpg)" } + video;
    QTest::newRow("audio recording") << 5 << true << QStringList { "Waveform Audio (*.wav)" } + audio;
}

// Every row cancels: the caller must learn it, and nothing of the last choice may change.
void tst_SavePaths::offeredContainers()
{
    QFETCH(int, kind);
    QFETCH(bool, recording);
    WindowFixture fixture(updatedToday());
    Sniffer &window = fixture.window();
    window.downloadKind = kind;
    window.recorderSaveMode = recording;
    window.targetExtension = QStringLiteral("avi");
    window.chosenFilePath = QStringLiteral("/earlier/take.avi");
    auto *title = fixture.find<QLineEdit>(QStringLiteral("inputTitle"));
    auto *folders = fixture.find<QComboBox>(QStringLiteral("selectPath"));
    title->setText(QStringLiteral("take"));
    folders->addItem(fixture.home().path());

    DialogSeen seen;
    answerFileDialog(seen, Cancel);
    QVERIFY(!window.selectSaveFile());

    QTEST(seen.filters, "filters");
    QCOMPARE(seen.directory, QDir(fixture.home().path()).absolutePath());
    QCOMPARE(window.targetExtension, QStringLiteral("avi"));
    QCOMPARE(window.chosenFilePath, QStringLiteral("/earlier/take.avi"));
    QCOMPARE(title->text(), QStringLiteral("take"));
    QCOMPARE(folders->count(), 1);
}

void tst_SavePaths::chosenFile_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("title");
    QTest::newRow("plain name") << 4 << "MPEG-4 (*.mp4)"
                                << "clip"
                                << "mp4"
                                << "clip.mp4"
                                << "clip";
    QTest::newRow("extension typed") << 4 << "MPEG-4 (*.mp4)"
                                     << "clip.mp4"
                                     << "mp4"
                                     << "clip.mp4"
                                     << "clip";
    QTest::newRow("other extension kept") << 4 << "MPEG-4 (*.mp4)"
                                          << "clip.v1"
                                          << "mp4"
                                          << "clip.v1.mp4"
                                          << "clip.v1";
    QTest::newRow("typed name kept") << 5 << "MP3 (*.mp3)"
                                     << "Mr. Bean 1.5"
                                     << "mp3"
                                     << "Mr. Bean 1.5.mp3"
                                     << "Mr. Bean 1.5";
    QTest::newRow("audio container") << 5 << "OGG (*.ogg)"
                                     << "song  "
                                     << "ogg"
                                     << "song.ogg"
                                     << "song";
}

void tst_SavePaths::chosenFile()
{
    QFETCH(int, kind);
    QFETCH(QString, filter);
    QFETCH(QString, typed);
    WindowFixture fixture(updatedToday());
    Sniffer &window = fixture.window();
    const QString target = fixture.home().path() + QStringLiteral("/Videos");
    QDir().mkpath(target);
    window.downloadKind = kind;
    auto *folders = fixture.find<QComboBox>(QStringLiteral("selectPath"));
    folders->addItem(QStringLiteral("/elsewhere"));

    DialogSeen seen;
    answerFileDialog(seen, target + QLatin1Char('/') + typed, filter);
    QVERIFY(window.selectSaveFile());

    QTEST(window.targetExtension, "extension");
    QFETCH(QString, fileName);
    QCOMPARE(window.chosenFilePath, target + QLatin1Char('/') + fileName);
    QTEST(fixture.find<QLineEdit>(QStringLiteral("inputTitle"))->text(), "title");
    QCOMPARE(folders->currentIndex(), 0);
    QCOMPARE(folders->currentText(), target);
}

void tst_SavePaths::existingFinalNameIsAskedAbout_data()
{
    QTest::addColumn<bool>("agreed");
    QTest::newRow("yes") << true;
    QTest::newRow("no") << false;
}

void tst_SavePaths::existingFinalNameIsAskedAbout()
{
    QFETCH(bool, agreed);
    WindowFixture fixture(updatedToday());
    Sniffer &window = fixture.window();
    window.downloadKind = 5;
    const QString existing = QDir(fixture.home().path()).filePath(QStringLiteral("Trailer (1).mp3"));
    QVERIFY(writeFile(existing, "eight seconds"));

    QString question;
    answerNextModal([&question, &existing, agreed](QWidget *modal) {
        // The question comes once the dialog has closed, about the name with its extension.
        answerNextModal([&question, agreed](QWidget *box) {
            auto *message = qobject_cast<QMessageBox *>(box);
            QVERIFY(message != nullptr);
            question = message->text();
            message->button(agreed ? QMessageBox::Yes : QMessageBox::No)->click();
        });
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        QVERIFY(dialog != nullptr);
        dialog->selectNameFilter(QStringLiteral("MP3 (*.mp3)"));
        dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(existing.chopped(4));
        static_cast<QDialog *>(dialog)->accept();
    });
    QCOMPARE(window.selectSaveFile(), agreed);
    QVERIFY2(question.contains(QDir::toNativeSeparators(existing)), qPrintable(question));
    QCOMPARE(window.chosenReplace, agreed ? UserFileSave::Replace::Agreed : UserFileSave::Replace::Refuse);
    QCOMPARE(readFile(existing), QByteArray("eight seconds"));
}

void tst_SavePaths::offeredName_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("title");
    QTest::newRow("video, dots in the name") << 4 << "Mr. Bean goes 1.5 km";
    QTest::newRow("audio, dots in the name") << 5 << "Live at the Roxy vol. 2";
}

// The name typed into the options page is offered whole in the dialog's file-name field.
void tst_SavePaths::offeredName()
{
    QFETCH(int, kind);
    QFETCH(QString, title);
    WindowFixture fixture(updatedToday());
    Sniffer &window = fixture.window();
    window.downloadKind = kind;
    fixture.find<QLineEdit>(QStringLiteral("inputTitle"))->setText(title);
    fixture.find<QComboBox>(QStringLiteral("selectPath"))->addItem(fixture.home().path());

    QString offered;
    answerNextModal([&offered](QWidget *modal) {
        offered = modal->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->text();
        static_cast<QDialog *>(modal)->reject();
    });
    QVERIFY(!window.selectSaveFile());
    QCOMPARE(offered, title);
}

void tst_SavePaths::optionsFolderList_data()
{
    QTest::addColumn<bool>("audioOnly");
    QTest::addColumn<QString>("video");
    QTest::addColumn<QString>("audio");
    QTest::addColumn<QString>("first");
    QTest::addColumn<int>("count");
    QTest::newRow("video folder") << false << "/media/video"
                                  << "/media/audio"
                                  << "/media/video" << 5;
    QTest::newRow("audio-only listing") << true << "/media/video"
                                        << "/media/audio"
                                        << "/media/audio" << 5;
    QTest::newRow("video folder is the desktop") << false << "<desktop>"
                                                 << "/media/audio"
                                                 << "<desktop>" << 4;
    QTest::newRow("no folder stored") << false << QString() << QString() << "<desktop>" << 4;
}

void tst_SavePaths::optionsFolderList()
{
    QFETCH(bool, audioOnly);
    QFETCH(QString, video);
    QFETCH(QString, audio);
    QFETCH(QString, first);
    const auto resolve
        = [](const QString &folder) { return folder == QStringLiteral("<desktop>") ? desktop() : folder; };
    WindowFixture fixture(updatedToday());
    Sniffer &window = fixture.window();
    window.settings().setValue(QStringLiteral("savepath_video"), resolve(video));
    window.settings().setValue(QStringLiteral("savepath_audio"), resolve(audio));
    fixture.find<QPushButton>(QStringLiteral("btnDownloadAudio"))->setHidden(audioOnly);

    window.setSaveFilePath();

    auto *folders = fixture.find<QComboBox>(QStringLiteral("selectPath"));
    QTEST(folders->count(), "count");
    QCOMPARE(folders->currentIndex(), 0);
    QCOMPARE(folders->currentText(), resolve(first));
}

QTEST_MAIN(tst_SavePaths)
#include "tst_SavePaths.moc"
