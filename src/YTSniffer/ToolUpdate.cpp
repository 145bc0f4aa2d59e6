#include "ToolUpdate.h"

#include "BoundedFetch.h"
#include "ToolOutput.h"
#include "ToolProcess.h"
#include "Trace.h"
#include "UserFileSave.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <utility>

namespace {

const QString toolName = QStringLiteral("yt-dlp");
const QString sumsName = QStringLiteral("SHA2-256SUMS");
// A release's tool is a few MB; a server that sends much more is not serving a release.
constexpr qint64 largestDownload = 64LL * 1024 * 1024;

// The file's sum in a GNU-style list ("<hex>  <name>", or "*<name>" in binary mode); empty when none.
QByteArray publishedSumOf(const QByteArray &sums, const QString &fileName)
{
    const QByteArray name = fileName.toUtf8();
    for (const QByteArray &line : sums.split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() != 2 || (fields.at(1) != name && fields.at(1) != '*' + name)) {
            continue;
        }
        const QByteArray sum = QByteArray::fromHex(fields.at(0));
        // fromHex() skips what is not hex: only a clean 64-digit sum counts.
        if (sum.size() == 32 && sum.toHex() == fields.at(0).toLower()) {
            return sum;
        }
    }
    return {};
}

QByteArray fileSum(const QString &path)
{
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!file.open(QIODevice::ReadOnly) || !hash.addData(&file)) {
        return {};
    }
    return hash.result();
}

} // namespace

ToolUpdate::ToolUpdate(QObject *parent)
    : QObject(parent)
    , download(new BoundedFetch(largestDownload, this))
    , versionRun(new ToolProcess(this))
{
    connect(download, &BoundedFetch::finished, this, [this](const BoundedFetch::Answer &answer) {
        if (!answer.error.isEmpty()) {
            fail(answer.error);
        } else if (downloading == Step::Sums) {
            gotSums(answer.url, answer.body);
        } else {
            gotTool(answer.url, answer.body);
        }
    });
    connect(versionRun, &ToolProcess::ended, this, [this](ToolProcess::End how, int exitCode) {
        versionEnded(how == ToolProcess::End::Exited && exitCode == 0);
    });
}

ToolUpdate::~ToolUpdate() = default;

void ToolUpdate::start(const QUrl &release, const QString &copyPath)
{
    abandon();
    copy = copyPath;
    toolVersion.clear();
    error.clear();
    releaseAddress = release;
    if (!releaseAddress.path().endsWith(QLatin1Char('/'))) {
        releaseAddress.setPath(releaseAddress.path() + QLatin1Char('/'));
    }
    trace() << "ToolUpdate"
            << "start" << releaseAddress << copy;
    // Anyone on the way could swap a tool fetched over plain http for a program of theirs.
    if (!release.isValid() || release.scheme() != QLatin1String("https") || release.host().isEmpty()) {
        QMetaObject::invokeMethod(
            this,
            [this, run = runs, shown = release.toDisplayString()] {
                if (run == runs) {
                    fail(QStringLiteral("The release address of the site-download tool, \"%1\", is not an https "
                                        "address, so the tool was not updated: entry 0 of [tool_release] in "
                                        "sniffer.ini must start with https://.")
                             .arg(shown));
                }
            },
            Qt::QueuedConnection);
        return;
    }
    fetch(sumsName, Step::Sums);
}

void ToolUpdate::abandon()
{
    ++runs;
    download->abandon();
    versionRun->abandon();
    save.reset();
}

void ToolUpdate::setStallTimeout(std::chrono::milliseconds timeout)
{
    stallTimeout = timeout;
}

QString ToolUpdate::version() const
{
    return toolVersion;
}

QString ToolUpdate::errorString() const
{
    return error;
}

void ToolUpdate::fetch(const QString &fileName, Step step)
{
    // The release's files are served through redirects; none may lead from https to http.
    downloading = step;
    download->get(releaseAddress.resolved(QUrl(fileName)), stallTimeout);
}

void ToolUpdate::gotSums(const QUrl &address, const QByteArray &body)
{
    publishedSum = publishedSumOf(body, toolName);
    if (publishedSum.isEmpty()) {
        fail(QStringLiteral("%1 lists no SHA-256 sum of %2, so no copy is taken from this release.")
                 .arg(address.toString(), toolName));
        return;
    }
    if (fileSum(copy) == publishedSum) {
        trace() << "ToolUpdate"
                << "the copy is the release's";
        runVersion(copy, Result::UpToDate);
        return;
    }
    fetch(toolName, Step::Tool);
}

void ToolUpdate::gotTool(const QUrl &address, const QByteArray &tool)
{
    if (QCryptographicHash::hash(tool, QCryptographicHash::Sha256) != publishedSum) {
        fail(QStringLiteral("The %1 fetched from %2 (%3 bytes) does not match the SHA-256 sum its release "
                            "publishes; it was not installed.")
                 .arg(toolName, address.toString())
                 .arg(tool.size()));
        return;
    }
    QDir().mkpath(QFileInfo(copy).absolutePath());
    // The copy is the program's own file: replacing the old one needs nobody's agreement.
    save = std::make_unique<UserFileSave>(copy, UserFileSave::Replace::Agreed);
    stagedCopy = save->workPath(toolName);
    if (stagedCopy.isEmpty()) {
        fail(save->errorString());
        return;
    }
    UserFileSave staged(stagedCopy, UserFileSave::Replace::Refuse);
    QIODevice *file = staged.open();
    if (file != nullptr) {
        file->write(tool);
    }
    if (file == nullptr || !staged.commit()
        || !QFile::setPermissions(stagedCopy,
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup
                                      | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther)) {
        fail(staged.errorString().isEmpty() ? QStringLiteral("%1 could not be made executable.").arg(stagedCopy)
                                            : staged.errorString());
        return;
    }
    runVersion(stagedCopy, Result::Installed);
}

void ToolUpdate::runVersion(const QString &program, Result onSuccess)
{
    resultOnRun = onSuccess;
    ToolProcess::Options options;
    options.silenceLimit = stallTimeout;
    versionRun->start(program, { QStringLiteral("--version") }, options);
}

void ToolUpdate::versionEnded(bool ran)
{
    const QString printed = toolLines(versionRun->readOutput()).value(0).trimmed();
    if (!ran || printed.isEmpty()) {
        const QString words = versionRun->errorLine();
        const QString which = resultOnRun == Result::Installed
            ? QStringLiteral("The %1 of the release does not run here, so it was not installed").arg(toolName)
            : QStringLiteral("%1 does not run").arg(QDir::toNativeSeparators(copy));
        fail(which + (words.isEmpty() ? QStringLiteral(".") : QStringLiteral(": ") + words));
        return;
    }
    toolVersion = printed;
    if (resultOnRun == Result::Installed && !save->commit(stagedCopy)) {
        fail(save->errorString());
        return;
    }
    trace() << "ToolUpdate" << resultOnRun << toolVersion;
    end(resultOnRun);
}

void ToolUpdate::fail(const QString &why)
{
    error = why;
    traceError() << "ToolUpdate" << error;
    end(Result::Failed);
}

void ToolUpdate::end(Result result)
{
    save.reset();
    stagedCopy.clear();
    emit finished(result);
}
