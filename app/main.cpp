// Vantrel: the serial-to-CAN converter utility.
//
// The diagnostic lines go to standard error and to the main window's log
// window, which starts hidden; there is no console window to hide.
#include <QApplication>
#include <QCoreApplication>
#include <QIcon>

#include "app/mainwindow.h"

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // A missing file leaves the program without a default icon, silently.
    QApplication::setWindowIcon(QIcon("icon.ico"));
    QCoreApplication::setApplicationVersion("1.0.0.8");

    int result = 0;
    {
        MainWindow window;
        window.show();
        result = app.exec();
    }
    return result;
}
