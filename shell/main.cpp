#include <QApplication>

#include "shell/app_style.h"
#include "shell/form_general.h"
#include "shell/program_folder.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Veltrona Monitor"));
    veltrona::ApplyAppStyle(app);

    veltrona::ApplicationWindows windows(veltrona::ProgramFolder());
    // The main window ends the program even while other windows are still shown.
    QObject::connect(windows.general.get(), &veltrona::TFormGeneral::ended, &app,
                     &QApplication::quit, Qt::QueuedConnection);
    windows.general->show();
    return app.exec();
}
