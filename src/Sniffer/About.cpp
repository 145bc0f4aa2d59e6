#include "Sniffer.h"

#include "Program.h"
#include "ui_DialogAbout.h"

void Sniffer::showAboutDialog()
{
    if (QDialog *open = aboutDialog.data()) {
        if (open->isVisible()) {
            open->raise();
            open->activateWindow();
            return;
        }
        // The frame's close button and Escape only hide the dialog: such a one is done with.
        open->deleteLater();
    }

    auto *dialog = new QDialog(nullptr);
    dialog->setWindowFlags(dialog->windowFlags() | Qt::WindowStaysOnTopHint);
    // An open About dialog must not keep the program running once the main window is closed.
    dialog->setAttribute(Qt::WA_QuitOnClose, false);
    aboutForm = std::make_unique<Ui::DialogAbout>();
    aboutForm->setupUi(dialog);
    aboutForm->lblTitle->setText(Program::name + QStringLiteral(" Version ") + Program::version);
    connect(aboutForm->btnClose, &QPushButton::clicked, this, &Sniffer::closeAboutDialog);
    // Without a parent nothing else would delete it with the window.
    connect(this, &QObject::destroyed, dialog, [dialog] { delete dialog; });
    aboutDialog = dialog;
    dialog->show();
}

void Sniffer::closeAboutDialog()
{
    if (aboutDialog == nullptr) {
        return;
    }
    aboutDialog->close();
    aboutDialog->deleteLater();
}
