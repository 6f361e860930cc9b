// The firmware tab. Its page, widgets and wiring are in place; what the
// slots do arrives with the firmware-upgrade work, so for now they leave
// everything as it is.
#include "app/mainwindow.h"

void MainWindow::ChangedTab(int)
{
}

void MainWindow::ClickedFWFileOpen()
{
}

void MainWindow::ClickedFWUpgrade()
{
}

void MainWindow::FWProgress(int)
{
}
