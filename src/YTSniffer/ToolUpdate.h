#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QUrl>

#include <chrono>
#include <memory>

class BoundedFetch;
class ToolProcess;
class UserFileSave;

// Keeps the program's private copy of the site-download tool current from the tool's release address,
// under which every release publishes the platform-independent "yt-dlp" and its "SHA2-256SUMS".
// A copy whose sum is the release's is kept and nothing is downloaded. A new copy replaces the old one
// only complete, with the published sum, and once it has run; any failure leaves the old copy (or
// none) as it was. finished() reports every start() exactly once, never from inside it.
class ToolUpdate final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ToolUpdate)

public:
    enum class Result { Installed, UpToDate, Failed };
    Q_ENUM(Result)

    // Where the tool's releases publish their files, for a settings file written before it named one.
    static inline const QString defaultRelease
        = QStringLiteral("https://github.com/yt-dlp/yt-dlp/releases/latest/download/");

    explicit ToolUpdate(QObject *parent = nullptr);
    ~ToolUpdate() override;

    void start(const QUrl &release, const QString &copyPath);
    // Drops a running update: nothing of it is written or reported.
    void abandon();
    // A download or a run that stays silent for this long fails the update.
    void setStallTimeout(std::chrono::milliseconds timeout);

    // What the copy printed for --version, after a successful update.
    QString version() const;
    // Why the last update failed.
    QString errorString() const;

signals:
    void finished(ToolUpdate::Result result);

private:
    enum class Step { Sums, Tool };

    void fetch(const QString &fileName, Step step);
    void gotSums(const QUrl &address, const QByteArray &body);
    void gotTool(const QUrl &address, const QByteArray &body);
    void runVersion(const QString &program, Result onSuccess);
    void versionEnded(bool ran);
    void fail(const QString &why);
    void end(Result result);

    BoundedFetch *download;
    Step downloading = Step::Sums;
    ToolProcess *versionRun;
    std::chrono::milliseconds stallTimeout { 30000 };
    QUrl releaseAddress;
    QString copy;
    QByteArray publishedSum;
    std::unique_ptr<UserFileSave> save;
    QString stagedCopy;
    Result resultOnRun = Result::Failed;
    QString toolVersion;
    QString error;
    // Counts runs, so that a report queued for an abandoned run is dropped.
    quint64 runs = 0;
};
