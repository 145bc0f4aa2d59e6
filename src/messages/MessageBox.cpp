#include "MessageBox.h"

#include "Trace.h"

#include <QApplication>
#include <QPalette>
#include <QPointer>
#include <QPushButton>

namespace MessageBox {

namespace {

// A widget's own style sheet outranks every rule it inherits from its parents, so these colours hold against
// any parent's. They come from the application's palette, which no widget's style sheet changes.
QString readableStyle()
{
    const QPalette palette = QApplication::palette();
    const auto colour = [&palette](QPalette::ColorRole role) { return palette.color(QPalette::Active, role).name(); };
    return QStringLiteral("QMessageBox, QMessageBox QWidget { background-color: %1; color: %2; }"
                          "QMessageBox QPushButton { background-color: %3; color: %4; border: 1px solid %5;"
                          " border-radius: 3px; padding: 4px 12px; }"
                          "QMessageBox QPushButton:default, QMessageBox QPushButton:focus { border-color: %6; }"
                          "QMessageBox QPushButton:pressed { background-color: %5; }")
        .arg(colour(QPalette::Window), colour(QPalette::WindowText), colour(QPalette::Button),
             colour(QPalette::ButtonText), colour(QPalette::Mid), colour(QPalette::Highlight));
}

// The caller runs the box and deletes it; the pointer turns null when the parent took the box along.
QPointer<QMessageBox> open(QWidget *parent, QMessageBox::Icon icon, const QString &title, const QString &text,
                           QMessageBox::StandardButtons buttons = QMessageBox::NoButton)
{
    (icon == QMessageBox::Critical ? traceError() : trace()) << "messageBox"
                                                             << ":" << title << ":" << text;
    auto *box = new QMessageBox(icon, title, text, buttons, parent);
    box->setStyleSheet(readableStyle());
    // The main window may be hidden (while recording): closing its last box must not end the program.
    box->setAttribute(Qt::WA_QuitOnClose, false);
    return box;
}

void tell(QWidget *parent, QMessageBox::Icon icon, const QString &title, const QString &text,
          const QString &informative = {})
{
    const QPointer<QMessageBox> box = open(parent, icon, title, text, QMessageBox::Ok);
    if (!informative.isEmpty()) {
        trace() << "messageBox"
                << ":" << informative;
        box->setInformativeText(informative);
    }
    box->exec();
    delete box.data();
}

} // namespace

void information(QWidget *parent, const QString &title, const QString &text)
{
    tell(parent, QMessageBox::Information, title, text);
}

void warning(QWidget *parent, const QString &title, const QString &text)
{
    tell(parent, QMessageBox::Warning, title, text);
}

void critical(QWidget *parent, const QString &title, const QString &text, const QString &informative)
{
    tell(parent, QMessageBox::Critical, title, text, informative);
}

bool question(QWidget *parent, const QString &title, const QString &text)
{
    return ask(parent, QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::NoButton)
        == QMessageBox::Yes;
}

QMessageBox::StandardButton ask(QWidget *parent, QMessageBox::Icon icon, const QString &title, const QString &text,
                                QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton)
{
    const QPointer<QMessageBox> box = open(parent, icon, title, text, buttons);
    box->setDefaultButton(defaultButton);
    const auto answer = QMessageBox::StandardButton(box->exec());
    if (box.isNull()) {
        return QMessageBox::NoButton;
    }
    delete box.data();
    return answer;
}

bool inform(QWidget *parent, const QString &title, const QString &text, const QString &informative,
            const Choice &action)
{
    const QPointer<QMessageBox> box = open(parent, QMessageBox::Information, title, text, QMessageBox::Ok);
    trace() << "messageBox"
            << ":" << informative;
    box->setInformativeText(informative);
    QPushButton *extra = box->addButton(action.label, action.role);
    extra->setObjectName(action.objectName);
    box->setDefaultButton(QMessageBox::Ok);
    box->exec();
    if (box.isNull()) {
        return false;
    }
    const bool chosen = box->clickedButton() == extra;
    delete box.data();
    return chosen;
}

qsizetype choose(QWidget *parent, QMessageBox::Icon icon, const QString &title, const QString &text,
                 const QList<Choice> &choices, qsizetype cancel)
{
    const QPointer<QMessageBox> box = open(parent, icon, title, text);
    QList<QPushButton *> buttons;
    for (const Choice &choice : choices) {
        QPushButton *button = box->addButton(choice.label, choice.role);
        button->setObjectName(choice.objectName);
        buttons.append(button);
    }
    box->setDefaultButton(buttons.value(cancel));
    box->setEscapeButton(buttons.value(cancel));
    box->exec();
    if (box.isNull()) {
        return cancel;
    }
    const qsizetype chosen = buttons.indexOf(qobject_cast<QPushButton *>(box->clickedButton()));
    delete box.data();
    return chosen < 0 ? cancel : chosen;
}

} // namespace MessageBox
