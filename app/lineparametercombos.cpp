#include "lineparametercombos.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QSerialPort>
#include <QString>
#include <QValidator>

namespace {

// The texts both dialogs show, translated under one name.
class LineParameterCombos {
    Q_DECLARE_TR_FUNCTIONS(LineParameterCombos)
};

} // namespace

void fillBaudRateCombo(QComboBox *box, std::initializer_list<qint32> rates, int current)
{
    for (qint32 baud : rates)
        box->addItem(QString::number(baud), baud);
    box->setCurrentIndex(current);
}

void fillLineParameterCombos(QComboBox *parity, QComboBox *stopBits, QComboBox *flowControl)
{
    parity->addItem(LineParameterCombos::tr("None"), QSerialPort::NoParity);
    parity->addItem(LineParameterCombos::tr("Even"), QSerialPort::EvenParity);
    parity->addItem(LineParameterCombos::tr("Odd"), QSerialPort::OddParity);
    parity->addItem(LineParameterCombos::tr("Mark"), QSerialPort::MarkParity);
    parity->addItem(LineParameterCombos::tr("Space"), QSerialPort::SpaceParity);
    parity->setCurrentIndex(0);

    stopBits->addItem(QStringLiteral("1"), QSerialPort::OneStop);
    stopBits->addItem(QStringLiteral("2"), QSerialPort::TwoStop);
    stopBits->setCurrentIndex(0);

    flowControl->addItem(LineParameterCombos::tr("None"), QSerialPort::NoFlowControl);
    flowControl->addItem(LineParameterCombos::tr("Hardware"), QSerialPort::HardwareControl);
    flowControl->setCurrentIndex(0);
}

void applyCustomBaudRatePolicy(QComboBox *box, int idx, QValidator *validator)
{
    const bool isCustomBaudRate = !box->itemData(idx).isValid();
    box->setEditable(isCustomBaudRate);
    if (isCustomBaudRate) {
        box->clearEditText();
        box->lineEdit()->setValidator(validator);
    }
}

qint32 chosenBaudRate(const QComboBox *box)
{
    if (box->currentIndex() == 4)
        return box->currentText().toInt();
    return box->currentData().toInt();
}
