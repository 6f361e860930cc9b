// MainWindow's frame: what it owns, how it is built and wired, the hidden
// chords, the control state and the status line, and the ordered teardown.
#include "app/mainwindow.h"

#include <QCoreApplication>
#include <QKeySequence>
#include <QLabel>
#include <QPalette>
#include <QPushButton>
#include <QRegExp>
#include <QRegExpValidator>
#include <QShortcut>
#include <QStatusBar>
#include <QThread>

#include "app/aboutdialog.h"
#include "app/autosettingsdialog.h"
#include "app/appresources.h"
#include "app/console.h"
#include "app/logwindow.h"
#include "app/portsettingslabel.h"
#include "app/settingsdialog.h"
#include "link/consolelog.h"
#include "link/serialportthread.h"
#include "link/timerthread.h"
#include "ui_mainwindow.h"

// The last frame line built; every periodic tick sends it again.
QByteArray lastTxFrame;

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent),
      periodicSend(false),
      shortcuts{},
      ui(new Ui::MainWindow),
      logWindow(new LogWindow),
      deviceSerialConfig{},
      deviceCanConfig{},
      deviceHeaderChars{}
{
    ui->setupUi(this);
    setConsoleSink([window = logWindow](const QString &text) { window->appendText(text); });

    console = new Console(nullptr);
    console->setEnabled(false);
    ui->gridLayout->addWidget(console);

    settingsDialog = new SettingsDialog(nullptr);
    autoSettingsDialog = new AutoSettingsDialog(this);
    for (QDialog *dialog : {static_cast<QDialog *>(autoSettingsDialog), static_cast<QDialog *>(settingsDialog)}) {
        dialog->setWindowIcon(windowIcon());
        dialog->setWindowFlags(dialog->windowFlags() & ~Qt::WindowContextHelpButtonHint);
    }

    txCount = 0;
    rxCount = 0;
    connectMode = NoMode;

    initThreads();
    initWidgets();
    initConnections();
    updateControls();
}

MainWindow::~MainWindow()
{
    // No thread may run once the objects go: stop both loops, wait for them,
    // then end the worker's event loop.
    QObject::disconnect(&serialThread->port, nullptr, this, nullptr);
    timerThread->stopLoop();
    serialThread->stop();
    while (timerThread->isRunning())
        QThread::msleep(1);
    while (serialThread->isRunning())
        QThread::msleep(1);
    serialWorker->quit();
    serialWorker->wait();

    delete timerThread;
    delete console;
    delete serialThread;
    delete settingsDialog;
    delete autoSettingsDialog;
    delete ui;
    delete extIdRegExp;
    delete stdIdRegExp;
    delete headerRegExp;
    delete versionLabel;
    delete serialWorker;
    setConsoleSink(ConsoleSink());
    delete logWindow;
}

QSerialPort &MainWindow::port()
{
    return serialThread->port;
}

void MainWindow::initThreads()
{
    serialThread = new SerialPortThread(nullptr);
    serialWorker = new QThread(nullptr);

    connect(this, SIGNAL(Thread_FirmwareUpgrade()), serialThread, SLOT(Thread_FirmwareUpgrade()));
    connect(serialThread, SIGNAL(FWProgress(int)), this, SLOT(FWProgress(int)));
    connect(&serialThread->port, SIGNAL(error(QSerialPort::SerialPortError)), this,
            SLOT(handleError(QSerialPort::SerialPortError)));

    timerThread = new TimerThread(nullptr);
    timerThread->start(QThread::InheritPriority);
    timerThread->setPriority(QThread::IdlePriority);

    autoSettingsDialog->setSerialThread(serialThread);
    connect(autoSettingsDialog, SIGNAL(connectDone(int)), this, SLOT(autoConnectDone(int)));
    connect(timerThread, SIGNAL(TimeOut()), this, SLOT(AutoTest()));
    connect(&serialThread->port, SIGNAL(readyRead()), this, SLOT(SerialReadyData()));
    connect(serialThread, SIGNAL(Tx_CAN_Data(int)), this, SLOT(writeCount(int)), Qt::DirectConnection);

    serialThread->moveToThread(serialWorker);
    serialWorker->start(QThread::InheritPriority);
    serialThread->start(QThread::InheritPriority);

    connect(serialThread, SIGNAL(Tx_Signal()), this, SLOT(Tx_Ready_slot()));
}

void MainWindow::initWidgets()
{
    auto *dataByteValidator = new QRegExpValidator(
        QRegExp("[0-9A-Fa-f][0-9A-Fa-f]", Qt::CaseSensitive, QRegExp::RegExp), this);
    stdIdRegExp = new QRegExp("[0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f]", Qt::CaseSensitive, QRegExp::RegExp);
    extIdRegExp = new QRegExp("[0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f]",
                              Qt::CaseSensitive, QRegExp::RegExp);
    headerRegExp = new QRegExp("[A-Za-z]", Qt::CaseSensitive, QRegExp::RegExp);
    stdIdValidator = new QRegExpValidator(*stdIdRegExp, this);
    extIdValidator = new QRegExpValidator(*extIdRegExp, this);
    headerValidator = new QRegExpValidator(*headerRegExp, this);

    ui->actionAutoConnect->setEnabled(true);
    ui->actionDisconnect->setEnabled(false);
    ui->actionQuit->setEnabled(true);
    ui->actionConnect->setEnabled(true);
    ui->actionAutoConnect->setVisible(false);

    ui->Format_Ctrl->addItem("STD DATA", 20);
    ui->Format_Ctrl->addItem("STD REMOTE", 21);
    ui->Format_Ctrl->addItem("EXT DATA", 22);
    ui->Format_Ctrl->addItem("EXT REMOTE", 23);
    ui->ID_Ctrl->setText("123");
    ui->ID_Ctrl->setValidator(stdIdValidator);
    for (QLineEdit *box : {ui->DATA1_Ctrl_1, ui->DATA1_Ctrl_2, ui->DATA1_Ctrl_3, ui->DATA1_Ctrl_4,
                           ui->DATA1_Ctrl_5, ui->DATA1_Ctrl_6, ui->DATA1_Ctrl_7, ui->DATA1_Ctrl_8})
        box->setValidator(dataByteValidator);

    for (int baud : {9600, 19200, 38400, 57600, 115200, 230400, 460800})
        ui->Serial_Baud_Combo->addItem(QString::number(baud), baud);
    ui->Serial_Parity_Combo->addItem("None", 0);
    ui->Serial_Parity_Combo->addItem("Even", 2);
    ui->Serial_Parity_Combo->addItem("Odd", 3);
    ui->Serial_Parity_Combo->addItem("Mark", 5);
    ui->Serial_Parity_Combo->addItem("Space", 4);
    ui->Serial_Stop_Combo->addItem("1", 1);
    ui->Serial_Stop_Combo->addItem("2", 2);
    ui->Serial_Flow_Combo->addItem("None", 0);
    ui->Serial_Flow_Combo->addItem("Hardware", 1);
    for (int rate : {20, 50, 100, 125, 200, 250, 300, 500, 800, 1000})
        ui->CAN_Baud_Combo->addItem(QString::number(rate), rate);
    ui->CAN_Spec_Combo->addItem("A", 3);
    ui->CAN_Spec_Combo->addItem("B", 8);

    messageLabel = new QLabel(" ");
    connectionLabel = new QLabel("Disconnected");
    settingsLabel = new PortSettingsLabel;
    settingsLabel->setText(" ");
    versionLabel = new QLabel(QCoreApplication::applicationVersion());
    ui->statusBar->addPermanentWidget(messageLabel, 3);
    ui->statusBar->addPermanentWidget(connectionLabel, 2);
    ui->statusBar->addPermanentWidget(settingsLabel, 2);
    ui->statusBar->addPermanentWidget(versionLabel, 1);

    ui->WarningLabel->setStyleSheet("QLabel{color : red; }");

    ui->FirmwareVersion->setEnabled(false);
    QPalette versionPalette = ui->FirmwareVersion->palette();
    versionPalette.setColor(QPalette::Text, Qt::black);
    ui->FirmwareVersion->setPalette(versionPalette);

    ui->FWProgressBar->setValue(0);
    QPalette progressPalette = ui->FWProgressBar->palette();
    progressPalette.setColor(QPalette::Text, Qt::black);
    ui->FWProgressBar->setPalette(progressPalette);

    ui->Interval_Ctrl->setVisible(false);
}

void MainWindow::initConnections()
{
    connect(ui->actionAutoConnect, SIGNAL(triggered()), this, SLOT(clickedAutoSetting()));
    connect(ui->actionDisconnect, SIGNAL(triggered()), this, SLOT(closeSerialPort()));
    connect(ui->actionQuit, SIGNAL(triggered()), this, SLOT(close()));
    connect(ui->actionConnect, SIGNAL(triggered()), this, SLOT(OpenCOMPortConfig()));
    connect(ui->actionAbout, SIGNAL(triggered()), this, SLOT(about()));
    connect(ui->Send_Ctrl, SIGNAL(clicked()), this, SLOT(SetCANFrame()));
    connect(settingsDialog->findChild<QPushButton *>("applyButton"), SIGNAL(clicked()), this,
            SLOT(ClickedPortOpen()));
    connect(ui->DefaultPushButton, SIGNAL(clicked()), this, SLOT(Setup_Default()));
    connect(ui->ApplyPushButton, SIGNAL(clicked()), this, SLOT(ClickedSetupApply()));
    connect(ui->CancelPushButton, SIGNAL(clicked()), this, SLOT(Setup_Cancel()));
    connect(ui->ClearButton, SIGNAL(clicked()), this, SLOT(Clear()));
    connect(ui->FWFileOpen, SIGNAL(clicked()), this, SLOT(ClickedFWFileOpen()));
    connect(ui->tabWidget, SIGNAL(currentChanged(int)), this, SLOT(ChangedTab(int)));
    connect(ui->FWUpgrade, SIGNAL(clicked()), this, SLOT(ClickedFWUpgrade()));
    connect(ui->SaveButton, SIGNAL(clicked()), console, SLOT(Save()));
    connect(ui->DLC_Ctrl, SIGNAL(valueChanged(int)), this, SLOT(CheckChanged(int)));
    connect(ui->CAN_Spec_Combo, SIGNAL(currentIndexChanged(int)), this, SLOT(CheckChanged(int)));
    connect(ui->Format_Ctrl, SIGNAL(currentIndexChanged(int)), this, SLOT(CheckChanged(int)));
    for (QLineEdit *edit : {ui->ID_Ctrl, ui->CAN_ID_Edit, ui->CAN_Mask_Edit})
        connect(edit, SIGNAL(textEdited(QString)), this, SLOT(Check_IDRange(QString)));
    for (QLineEdit *box : {ui->DATA1_Ctrl_1, ui->DATA1_Ctrl_2, ui->DATA1_Ctrl_3, ui->DATA1_Ctrl_4,
                           ui->DATA1_Ctrl_5, ui->DATA1_Ctrl_6, ui->DATA1_Ctrl_7, ui->DATA1_Ctrl_8})
        connect(box, SIGNAL(cursorPositionChanged(int, int)), this, SLOT(MoveDataCtrlCoursor(int, int)));

    static const char *const chords[4] = {"Ctrl+Alt+K", "Ctrl+Alt+J", "Ctrl+Alt+G", "Ctrl+Alt+Y"};
    for (int i = 0; i < 4; ++i)
        shortcuts[i] = new QShortcut(QKeySequence(chords[i]), this, nullptr, nullptr, Qt::WindowShortcut);
    connect(shortcuts[0], SIGNAL(activated()), this, SLOT(SetTestMode()));
    connect(shortcuts[1], SIGNAL(activated()), this, SLOT(SetAutoMode()));
    connect(shortcuts[2], SIGNAL(activated()), this, SLOT(ToggleLogWindow()));
    connect(shortcuts[3], SIGNAL(activated()), this, SLOT(plus()));

    connect(ui->actionTest_Step1, SIGNAL(triggered()), this, SLOT(TestStep_1()));
    connect(ui->actionTest_Step2, SIGNAL(triggered()), this, SLOT(TestStep_2()));
    ui->actionTest_Step1->setVisible(false);
    ui->actionTest_Step2->setVisible(false);
}

void MainWindow::SetTestMode()
{
    ui->actionTest_Step1->setVisible(true);
    ui->actionTest_Step2->setVisible(true);
    ui->tabWidget->setEnabled(true);
    ui->Interval_Ctrl->setVisible(true);
    console->removeBlockLimit();
}

void MainWindow::SetAutoMode()
{
    ui->actionAutoConnect->setVisible(true);
}

void MainWindow::ToggleLogWindow()
{
    logWindow->setVisible(!logWindow->isVisible());
}

void MainWindow::plus()
{
    addToCount(txCount, 1000);
    addToCount(rxCount, 1000);
    ui->TxCount_Ctrl->display(txCount);
    ui->RxCount_Ctrl->display(rxCount);
}

void MainWindow::addToCount(std::int32_t &counter, int amount)
{
    counter = static_cast<std::int32_t>(static_cast<std::uint32_t>(counter) + static_cast<std::uint32_t>(amount));
}

void MainWindow::clickedAutoSetting()
{
    autoSettingsDialog->setModal(true);
    autoSettingsDialog->show();
}

void MainWindow::OpenCOMPortConfig()
{
    settingsDialog->setModal(true);
    settingsDialog->show();
}

void MainWindow::about()
{
    // The dialog frees itself once closed; each press opens a new one.
    auto *dialog = new AboutDialog(nullptr);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowIcon(windowIcon());
    dialog->setAboutInfo(windowIcon(), QCoreApplication::applicationVersion());
    dialog->setModal(true);
    dialog->show();
}

void MainWindow::showStatusError(const QString &text)
{
    // Every status widget is permanent, so the bar's own message area has no
    // width: the text goes where the configuration message stands, and the
    // bar's current message says the same.
    statusBar()->showMessage(text);
    messageLabel->setText(text);
}

void MainWindow::setMessageText(const QString &text)
{
    statusBar()->clearMessage();
    messageLabel->setText(text);
}

void MainWindow::clearStatusError()
{
    if (!statusBar()->currentMessage().isEmpty())
        setMessageText(QString());
}

void MainWindow::closePort()
{
    if (port().isOpen())
        port().close();
    serialThread->discardTx();
}

void MainWindow::closeSerialPort()
{
    if (timerThread->isEnabled())
        SetCANFrame();
    closePort();
    console->setEnabled(false);
    ui->actionAutoConnect->setEnabled(true);
    ui->actionDisconnect->setEnabled(false);
    ui->actionConnect->setEnabled(true);
    connectionLabel->setText(tr("Disconnected"));
    settingsLabel->setText(QString());
    updateControls();
}

void MainWindow::updateControls()
{
    if (port().isOpen()) {
        ui->tabWidget->setEnabled(true);
    } else {
        ui->tabWidget->setEnabled(false);
        connectMode = NoMode;
    }

    if (timerThread->isEnabled()) {
        ui->AutoCheck->setEnabled(false);
        ui->Format_Ctrl->setEnabled(false);
        ui->ID_Ctrl->setEnabled(false);
        ui->DLC_Ctrl->setEnabled(false);
        for (QLineEdit *box : {ui->DATA1_Ctrl_1, ui->DATA1_Ctrl_2, ui->DATA1_Ctrl_3, ui->DATA1_Ctrl_4,
                               ui->DATA1_Ctrl_5, ui->DATA1_Ctrl_6, ui->DATA1_Ctrl_7, ui->DATA1_Ctrl_8})
            box->setEnabled(false);
    } else {
        ui->AutoCheck->setEnabled(true);
        ui->Format_Ctrl->setEnabled(true);
        ui->ID_Ctrl->setEnabled(true);
        ui->DLC_Ctrl->setEnabled(true);
        CheckChanged(1);
    }
}

static QString parityLetter(QSerialPort::Parity parity)
{
    switch (parity) {
    case QSerialPort::NoParity: return "N";
    case QSerialPort::EvenParity: return "E";
    case QSerialPort::OddParity: return "O";
    case QSerialPort::SpaceParity: return "S";
    case QSerialPort::MarkParity: return "M";
    default: return "D";
    }
}

static QString flowText(QSerialPort::FlowControl flow)
{
    switch (flow) {
    case QSerialPort::NoFlowControl: return "Non-flow";
    case QSerialPort::HardwareControl: return "Hardware-flow";
    default: return "Unknow";
    }
}

void MainWindow::updateStatus()
{
    if (!port().isOpen()) {
        connectionLabel->setText(tr("Disconnected"));
        settingsLabel->setText(QString());
        return;
    }

    serialThread->resetTxCounters();
    console->setEnabled(true);
    ui->actionAutoConnect->setEnabled(false);
    ui->actionDisconnect->setEnabled(true);
    ui->actionConnect->setEnabled(false);
    connectionLabel->setText(tr("Connected"));
    // One pass over the format, so that a port name holding "%2" stays as it is.
    // A long name gives way to the settings when the bar is short of room.
    settingsLabel->setSettingsText(
        tr("%1, %2, %3%4%5, %6")
            .arg(port().portName(), QString::number(port().baudRate(QSerialPort::AllDirections)),
                 QString::number(int(port().dataBits())), parityLetter(port().parity()),
                 QString::number(int(port().stopBits())), flowText(port().flowControl())),
        port().portName());

    if (connectMode == ActiveMode) {
        ui->tabWidget->setCurrentIndex(0);
    } else if (connectMode == SetupMode) {
        ui->tabWidget->setCurrentIndex(1);
        loadDeviceConfig();
    }
    console->setFilePrefix(port().portName());
}
