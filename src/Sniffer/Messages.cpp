#include "Sniffer.h"

#include "MessageBox.h"
#include "MessageBuilder.h"
#include "MessageIds.h"
#include "Program.h"
#include "Trace.h"

#include <QDir>

static_assert(int(Sniffer::Warning) == int(MessageBuilder::Kind::Warning)
              && int(Sniffer::Error) == int(MessageBuilder::Kind::Error)
              && int(Sniffer::DownloadError) == int(MessageBuilder::Kind::DownloadError));
static_assert(MessageIds::downloadErrorCount == Downloader::SiteRefused + 1);

void Sniffer::showErrorMessage(int id, MessageKind kind, const QString &detail)
{
    const MessageBuilder::Message message
        = MessageBuilder::build(settingsLists, id, static_cast<MessageBuilder::Kind>(kind), errorContext);
    if (message.critical) {
        traceError() << "showErrorMessage"
                     << ":"
                     << "error" << id << "raised in" << errorContext.mid(0, 3).join(QLatin1Char(' '));
    }
    QString text = message.text;
    if (!detail.isEmpty()) {
        text += QStringLiteral("<br><br>") + detail.toHtmlEscaped().replace(QLatin1Char('\n'), QStringLiteral("<br>"));
    }
    if (message.critical) {
        MessageBox::critical(this, message.title, text + message.footer);
    } else {
        MessageBox::warning(this, message.title, text + message.footer);
    }
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
    const bool agreed = MessageBox::question(this, Program::name,
                                             tr("%1 already exists. Replace it?").arg(existing.join(tr(" and "))));
    cancelled = !agreed;
    return agreed ? UserFileSave::Replace::Agreed : UserFileSave::Replace::Refuse;
}
