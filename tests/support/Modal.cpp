#include "Modal.h"

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

void answerNextModal(std::function<void(QWidget *)> answer)
{
    auto *poll = new QTimer(qApp);
    poll->setInterval(20);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, answer = std::move(answer)] {
        QWidget *modal = QApplication::activeModalWidget();
        if (modal == nullptr || !modal->isVisible()) {
            return;
        }
        poll->stop();
        poll->deleteLater();
        answer(modal);
    });
    poll->start();
}

void answerBox(QString &text, QString *details)
{
    answerNextModal([&text, details](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        QVERIFY(box != nullptr);
        text = box->text();
        if (details != nullptr) {
            *details = box->informativeText();
        }
        box->button(QMessageBox::Ok)->click();
    });
}

void answerSaveDialog(const QString &file, const QString &filter, const std::function<void()> &next)
{
    answerNextModal([file, filter, next](QWidget *modal) {
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        QVERIFY(dialog != nullptr);
        dialog->selectNameFilter(filter);
        dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(file);
        if (next) {
            next();
        }
        static_cast<QDialog *>(dialog)->accept();
    });
}
