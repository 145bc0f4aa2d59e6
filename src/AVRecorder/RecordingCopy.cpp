#include "RecordingCopy.h"

#include "Trace.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace RecordingCopy {

namespace {

bool sameFile(const QString &a, const QString &b)
{
    const QFileInfo first(a);
    const QFileInfo second(b);
    return first.exists() && second.exists() && first.canonicalFilePath() == second.canonicalFilePath();
}

Outcome failed(const QString &reason)
{
    return { Result::Failed, reason };
}

} // namespace

bool hasRecording(const QString &source)
{
    const QFileInfo info(source);
    return info.isFile() && info.size() > 0;
}

bool needsConversion(const QString &source, const QString &targetExtension)
{
    return QFileInfo(source).suffix() != targetExtension;
}

Outcome copy(const QString &source, const QString &target, UserFileSave::Replace replace,
             const QStringList &temporaries)
{
    if (!hasRecording(source)) {
        return { Result::NoRecording, {} };
    }
    if (sameFile(source, target)) {
        return { Result::Copied, {} };
    }
    UserFileSave save(target, replace);
    if (replace == UserFileSave::Replace::Refuse && UserFileSave::exists(target)) {
        return failed(QStringLiteral("%1 already exists and is left as it is.").arg(QDir::toNativeSeparators(target)));
    }
    const QString work = save.workPath(QFileInfo(target).fileName());
    if (work.isEmpty()) {
        return failed(save.errorString());
    }
    QFile in(source);
    if (!in.copy(work)) {
        return failed(in.errorString());
    }
    if (!save.commit(work)) {
        return failed(save.errorString());
    }
    removeTemporaries(temporaries, target);
    return { Result::Copied, {} };
}

void removeTemporaries(const QStringList &temporaries, const QString &keep)
{
    for (const QString &temporary : temporaries) {
        if (!temporary.isEmpty() && QFile::exists(temporary) && !sameFile(temporary, keep)
            && !QFile::remove(temporary)) {
            traceError() << "RecordingCopy"
                         << "cannot remove" << temporary;
        }
    }
}

QString failureText(const QString &target, const QString &source, const QString &reason)
{
    const QString where = QDir::toNativeSeparators(QFileInfo(source).absolutePath());
    const QString name = QFileInfo(source).fileName();
    QString text = QStringLiteral("<b>File</b> <i>") + target.toHtmlEscaped()
        + QStringLiteral("</i><br><b>cannot be created</b>");
    if (!reason.isEmpty()) {
        text += QStringLiteral("<br>") + reason.toHtmlEscaped();
    }
    return text + QStringLiteral("<br><br>The recording is kept as <i>") + name.toHtmlEscaped()
        + QStringLiteral("</i> in <i>") + where.toHtmlEscaped()
        + QStringLiteral("</i>. Choose another folder or free some space, then save it again.");
}

} // namespace RecordingCopy
