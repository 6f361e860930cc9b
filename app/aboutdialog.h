// The About box: the program icon beside the maker, the program and its
// version.
#pragma once

#include <QDialog>
#include <QIcon>
#include <QString>

namespace Ui {
class AboutDialog;
}

class AboutDialog : public QDialog
{
    Q_OBJECT

public:
    explicit AboutDialog(QWidget *parent = nullptr);
    ~AboutDialog() override;

    void setAboutInfo(const QIcon &icon, const QString &version);

private:
    Ui::AboutDialog *ui;
};
