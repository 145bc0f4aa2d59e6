#include "Sniffer.h"

#include "MessageBox.h"
#include "Program.h"
#include "Trace.h"
#include "WorkFolders.h"

#include <QDir>

void Sniffer::offerLeftoverDownloads(const QStringList &spare)
{
    for (const WorkFolders::Leftover &leftover : WorkFolders::sweep(spare)) {
        const QString name = QDir::toNativeSeparators(leftover.target);
        trace() << "offerLeftoverDownloads :" << leftover.complete << "for" << leftover.target;
        const QString question
            = tr("Corvane 2 stopped before it had finished saving %1. The download itself was complete. Keep it?")
                  .arg(name);
        if (MessageBox::choose(this, QMessageBox::Question, Program::name, question,
                               { { tr("Keep"), QMessageBox::AcceptRole, QStringLiteral("keepLeftover") },
                                 { tr("Discard"), QMessageBox::DestructiveRole, QStringLiteral("discardLeftover") } },
                               0)
            != 0) {
            WorkFolders::discard(leftover);
            continue;
        }
        const QString kept = WorkFolders::keep(leftover);
        if (kept.isEmpty()) {
            MessageBox::warning(this, Program::name,
                                tr("The download could not be put beside %1. It stays in %2.")
                                    .arg(name, QDir::toNativeSeparators(leftover.folder)));
        } else {
            MessageBox::information(this, Program::name,
                                    tr("The download was kept as %1.").arg(QDir::toNativeSeparators(kept)));
        }
    }
}
