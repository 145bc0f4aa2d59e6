#pragma once

#include <QString>
#include <QWidget>

#include <functional>

// Calls answer with the next modal widget (a message box or a file dialog) once it is shown. Call it
// before the action that opens the widget; the action's own event loop runs the answer.
void answerNextModal(std::function<void(QWidget *)> answer);

// Answers the next message box with OK and keeps its text (and, if asked, its details).
void answerBox(QString &text, QString *details = nullptr);

// Answers the next save dialog with a file name and a filter; then runs next, if given, before the dialog closes
// (to answer what follows it).
void answerSaveDialog(const QString &file, const QString &filter, const std::function<void()> &next = {});
