#pragma once

#include <QWidget>

#include <functional>

// Calls answer with the next modal widget (a message box or a file dialog) once it is shown. Call it
// before the action that opens the widget; the action's own event loop runs the answer.
void answerNextModal(std::function<void(QWidget *)> answer);
