// Stable port names, such as those under /dev/serial/by-id/, run past a
// hundred characters: the two connection dialogs keep the width a short name
// gives them, their port box shows the start and the end of a long name and
// its list the whole, and the status bar keeps the port's settings and every
// other text readable.
#include "app/autosettingsdialog.h"
#include "app/portcombobox.h"
#include "app/portsettingslabel.h"
#include "tests/app/mainwindow_fixture.h"

#include <QAbstractItemView>
#include <QScreen>

#include <unistd.h>

namespace {

const QChar kEllipsis(0x2026);

// A name in the shape of a by-id link, `length` characters long, under `dir`.
QString byIdName(const QString &dir, int length)
{
    const QString head = dir + "/usb-FTDI_FT232R_USB_UART_";
    const QString tail = "-if00-port0";
    return head + QString(length - head.size() - tail.size(), 'A') + tail;
}

std::unique_ptr<QDialog> makeDialog(bool autoConnect)
{
    if (autoConnect)
        return std::make_unique<AutoSettingsDialog>();
    return std::make_unique<SettingsDialog>();
}

class LongPortNameDialog : public MainWindowFixture, public ::testing::WithParamInterface<bool> {
protected:
    // The dialog of the parameter, shown, with `ports` offered.
    std::unique_ptr<QDialog> shown(const QStringList &ports)
    {
        qputenv("VANTREL_EXTRA_PORTS", ports.join(':').toLocal8Bit());
        std::unique_ptr<QDialog> dialog = makeDialog(GetParam());
        dialog->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
        return dialog;
    }
    static PortComboBox *portBox(QDialog &dialog)
    {
        auto *box = dialog.findChild<PortComboBox *>("serialPortInfoListBox");
        EXPECT_NE(box, nullptr);
        return box;
    }
};

TEST_P(LongPortNameDialog, KeepsTheWidthOfShortNames)
{
    const int shortWidth = shown({"/dev/ttyS0"})->width();
    const QString name = byIdName("/dev/serial/by-id", 200);
    std::unique_ptr<QDialog> dialog = shown({"/dev/ttyS0", name});
    EXPECT_LE(dialog->width(), shortWidth + 24) << "short names: " << shortWidth;
}

TEST_P(LongPortNameDialog, ShowsStartAndEndOfTheNameAndKeepsItWhole)
{
    const QString name = byIdName("/dev/serial/by-id", 200);
    std::unique_ptr<QDialog> dialog = shown({"/dev/ttyS0", name});
    PortComboBox *box = portBox(*dialog);
    box->setCurrentIndex(box->findText(name));

    EXPECT_EQ(box->currentText(), name);
    EXPECT_EQ(box->toolTip(), name);
    const QString shownText = box->shownText();
    EXPECT_TRUE(shownText.startsWith("/dev/")) << shownText.toStdString();
    EXPECT_TRUE(shownText.endsWith("port0")) << shownText.toStdString();
    EXPECT_TRUE(shownText.contains(kEllipsis)) << shownText.toStdString();
    EXPECT_EQ(box->itemData(box->currentIndex(), Qt::ToolTipRole).toString(), name);

    // The open list as wide as the name needs, but on the screen.
    box->showPopup();
    QWidget *popup = box->view()->window();
    ASSERT_TRUE(popup->isVisible());
    const QRect screen = popup->screen()->availableGeometry();
    EXPECT_TRUE(screen.contains(popup->geometry())) << popup->width() << " on " << screen.width();
    const int needed = box->view()->sizeHintForColumn(0);
    EXPECT_GE(popup->width(), std::min(needed, screen.width()));
    box->hidePopup();
}

INSTANTIATE_TEST_SUITE_P(Dialogs, LongPortNameDialog, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool> &info) {
                             return std::string(info.param ? "AutoConnect" : "Connect");
                         });

class LongPortNameStatus : public MainWindowFixture, public ::testing::WithParamInterface<int> {};

// At the window's least width, in setup mode (the longest message).
TEST_P(LongPortNameStatus, KeepsTheSettingsAndEveryTextReadable)
{
    ASSERT_NO_FATAL_FAILURE(startSim(sim::ConverterMode::Setup));
    const QString dir = QDir::tempPath() + "/vtls" + QString::number(::getpid());
    ASSERT_TRUE(QDir().mkpath(dir));
    const QString name = byIdName(dir, GetParam());
    QFile::remove(name);
    ASSERT_TRUE(QFile::link(QString::fromStdString(sim->portPath()), name));
    qputenv("VANTREL_EXTRA_PORTS", name.toLocal8Bit());
    ASSERT_NO_FATAL_FAILURE(makeWindow());
    window->resize(window->minimumSize());

    ASSERT_NO_FATAL_FAILURE(openPort(name, true));
    ASSERT_EQ(messageText(), "Configuration retrieved.") << boxes.summary().toStdString();
    QCoreApplication::processEvents();

    const QList<QLabel *> labels =
        window->statusBar()->findChildren<QLabel *>(QString(), Qt::FindDirectChildrenOnly);
    ASSERT_EQ(labels.size(), 4);
    auto *settings = qobject_cast<PortSettingsLabel *>(labels.at(2));
    ASSERT_NE(settings, nullptr);
    EXPECT_TRUE(settings->text().startsWith(name + ", "));
    const QString shownText = settings->shownText();
    EXPECT_TRUE(shownText.startsWith(name.left(8))) << shownText.toStdString();
    EXPECT_TRUE(shownText.endsWith("port0, 115200, 8N1, Non-flow")) << shownText.toStdString();
    EXPECT_TRUE(shownText.contains(kEllipsis)) << shownText.toStdString();

    for (int i = 0; i < labels.size(); ++i) {
        QLabel *label = labels.at(i);
        const QString text = label == settings ? shownText : label->text();
        SCOPED_TRACE(text.toStdString());
        EXPECT_LE(label->fontMetrics().horizontalAdvance(text), label->contentsRect().width());
        EXPECT_TRUE(window->statusBar()->rect().contains(label->geometry()));
        if (i > 0) {
            EXPECT_FALSE(label->geometry().intersects(labels.at(i - 1)->geometry()));
        }
    }

    window.reset();
    QDir(dir).removeRecursively();
}

INSTANTIATE_TEST_SUITE_P(Lengths, LongPortNameStatus, ::testing::Values(75, 200));

} // namespace
