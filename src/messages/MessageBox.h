#pragma once

#include <QList>
#include <QMessageBox>
#include <QString>

// Every message box of the program: on the parent the caller names, readable whatever style sheet that parent
// carries (the main window's dark recorder-save style, the stop dialog's black), and written to the log with its
// title and text. Each call returns once the user has closed the box. A parent that is deleted while its box is
// open takes the box along; the call then answers as if the box had been cancelled.
namespace MessageBox {

void information(QWidget *parent, const QString &title, const QString &text);
void warning(QWidget *parent, const QString &title, const QString &text);
// informative: a second paragraph under the text, such as the network layer's own words.
void critical(QWidget *parent, const QString &title, const QString &text, const QString &informative = {});
// Yes and No; true for Yes.
bool question(QWidget *parent, const QString &title, const QString &text);
// Returns the button pressed: the escape button when the box was closed, NoButton when it went with its parent.
QMessageBox::StandardButton ask(QWidget *parent, QMessageBox::Icon icon, const QString &title, const QString &text,
                                QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton);

// A button with a label of the caller's; the object name lets a test press it.
struct Choice
{
    QString label;
    QMessageBox::ButtonRole role = QMessageBox::AcceptRole;
    QString objectName;
};

// An information box with OK and the caller's button, the details in a paragraph under the text; true when the
// caller's button was pressed.
bool inform(QWidget *parent, const QString &title, const QString &text, const QString &informative,
            const Choice &action);

// Returns the index of the chosen button. The one at cancel is the default, and Escape or closing the box
// chooses it.
qsizetype choose(QWidget *parent, QMessageBox::Icon icon, const QString &title, const QString &text,
                 const QList<Choice> &choices, qsizetype cancel);

} // namespace MessageBox
