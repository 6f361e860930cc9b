#include "aboutdialog.h"

#include "appresources.h"
#include "ui_aboutdialog.h"

AboutDialog::AboutDialog(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::AboutDialog)
{
    ui->setupUi(this);
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
}

AboutDialog::~AboutDialog()
{
    delete ui;
}

void AboutDialog::setAboutInfo(const QIcon &icon, const QString &version)
{
    ui->iconB->setIcon(icon);
    ui->iconB->setIconSize(QSize(64, 64));
    ui->AboutLabel->setText(QStringLiteral("<b>Harbendale CAN Product Utility</b><br>Vantrel<br>Ver  ") + version);
}
