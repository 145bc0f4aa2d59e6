#include "Sniffer.h"

#include "MessageBuilder.h"
#include "Program.h"
#include "Trace.h"

#include <QDir>
#include <QMessageBox>

static_assert(int(Sniffer::Warning) == int(MessageBuilder::Kind::Warning)
              && int(Sniffer::Error) == int(MessageBuilder::Kind::Error)
              && int(Sniffer::DownloadError) == int(MessageBuilder::Kind::DownloadError));

void Sniffer::showErrorMessage(int id, MessageKind kind, const QString &detail)
{
    // The recorder-save mode's dark style would otherwise be inherited by the box.
    const QString style = styleSheet();
    setStyleSheet(QString());

    const MessageBuilder::Message message
        = MessageBuilder::build(settingsLists, id, static_cast<MessageBuilder::Kind>(kind), errorContext);
    QDebug line = message.critical ? traceError() : trace();
    line << "showErrorMessage"
         << ":" << message.title << ":" << message.text;
    if (!detail.isEmpty()) {
        line << detail;
    }

    QString text = message.text;
    if (!detail.isEmpty()) {
        text += QStringLiteral("<br><br>") + detail.toHtmlEscaped().replace(QLatin1Char('\n'), QStringLiteral("<br>"));
    }
    QMessageBox box(message.critical ? QMessageBox::Critical : QMessageBox::Warning, message.title,
                    text + message.footer, QMessageBox::Ok, this);
    box.exec();
    setStyleSheet(style);
}

void Sniffer::showWarning(int id)
{
    showErrorMessage(id, Warning);
}

void Sniffer::showError(int id)
{
    showErrorMessage(id, Error);
}

void Sniffer::showDownloaderError(int id, const QString &detail)
{
    showErrorMessage(id, DownloadError, detail);
}

UserFileSave::Replace Sniffer::confirmReplace(const QStringList &paths, bool &cancelled)
{
    QStringList existing;
    for (const QString &path : paths) {
        const QString native = QDir::toNativeSeparators(path);
        if (UserFileSave::exists(path) && !existing.contains(native)) {
            existing.append(native);
        }
    }
    cancelled = false;
    if (existing.isEmpty()) {
        return UserFileSave::Replace::Refuse;
    }
    const QString style = styleSheet();
    setStyleSheet(QString());
    const bool agreed = QMessageBox::question(this, Program::name,
                                              tr("%1 already exists. Replace it?").arg(existing.join(tr(" and "))))
        == QMessageBox::Yes;
    setStyleSheet(style);
    cancelled = !agreed;
    return agreed ? UserFileSave::Replace::Agreed : UserFileSave::Replace::Refuse;
}
