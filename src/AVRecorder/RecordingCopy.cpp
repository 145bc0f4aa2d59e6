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

Outcome copy(const QString &source, const QString &target, const QStringList &temporaries)
{
    if (!hasRecording(source)) {
        return { Result::NoRecording, {} };
    }
    if (sameFile(source, target)) {
        return { Result::Copied, {} };
    }

    const QString partial = target + QStringLiteral(".part");
    QFile::remove(partial);
    QFile in(source);
    if (!in.copy(partial)) {
        const QString reason = in.errorString();
        QFile::remove(partial);
        return failed(reason);
    }
    if (QFile::exists(target)) {
        QFile old(target);
        if (!old.remove()) {
            QFile::remove(partial);
            return failed(old.errorString());
        }
    }
    QFile done(partial);
    if (!done.rename(target)) {
        const QString reason = done.errorString();
        QFile::remove(partial);
        return failed(reason);
    }

    for (const QString &temporary : temporaries) {
        if (!temporary.isEmpty() && QFile::exists(temporary) && !sameFile(temporary, target)
            && !QFile::remove(temporary)) {
            traceError() << "RecordingCopy"
                         << "cannot remove" << temporary;
        }
    }
    return { Result::Copied, {} };
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
