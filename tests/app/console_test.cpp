// The log view: what it shows, how many lines it keeps, and the file that
// Save() writes.
#include "app/console.h"
#include "tests/app/msgbox_recorder.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace {

TEST(ConsoleView, ShowsChunksAsReceivedWithEachCarriageReturnStartingALine)
{
    Console console;
    console.putData("t1232112\r");
    console.putData("t4560\r");
    EXPECT_EQ(console.toPlainText(), QString("t1232112\nt4560\n"));
    EXPECT_EQ(console.document()->blockCount(), 3);
    EXPECT_EQ(console.document()->findBlockByNumber(1).text(), QString("t4560"));
}

TEST(ConsoleView, AZeroByteEndsTheTextOfItsChunk)
{
    Console console;
    console.putData(QByteArray("ab\0cd", 5));
    console.putData("ef");
    EXPECT_EQ(console.toPlainText(), QString("abef"));
}

TEST(ConsoleView, AppendsAtTheEndWhereverTheCursorWas)
{
    Console console;
    console.putData("first\r");
    QTextCursor c = console.textCursor();
    c.movePosition(QTextCursor::Start);
    console.setTextCursor(c);
    console.putData("second");
    EXPECT_EQ(console.toPlainText(), QString("first\nsecond"));
}

TEST(ConsoleView, IsReadOnlyGreenOnBlack)
{
    Console console;
    EXPECT_TRUE(console.isReadOnly());
    EXPECT_FALSE(console.overwriteMode());
    EXPECT_EQ(console.palette().color(QPalette::Base), QColor(Qt::black));
    EXPECT_EQ(console.palette().color(QPalette::Text), QColor(Qt::green));
    EXPECT_EQ(console.document()->defaultFont().family(), QString("Courier New"));
    // Readable: characters keep about their usual width.
    const QFontMetrics metrics(console.document()->defaultFont());
    EXPECT_GE(metrics.horizontalAdvance("0123456789"), 3 * metrics.height());
}

QByteArray numberedLines(int count)
{
    QByteArray text;
    for (int i = 0; i < count; ++i)
        text += "L" + QByteArray::number(i) + "\r";
    return text;
}

TEST(ConsoleView, KeepsTheLast50001Lines)
{
    Console console;
    console.putData(numberedLines(50010));
    // 50010 lines and the empty one after the last carriage return.
    EXPECT_EQ(console.document()->blockCount(), 50001);
    EXPECT_EQ(console.document()->firstBlock().text(), QString("L10"));
    EXPECT_EQ(console.document()->lastBlock().previous().text(), QString("L50009"));
}

TEST(ConsoleView, GrowsWithoutLimitOnceTheLimitIsRemoved)
{
    Console console;
    console.removeBlockLimit();
    console.putData(numberedLines(50010));
    EXPECT_EQ(console.document()->blockCount(), 50011);
    EXPECT_EQ(console.document()->firstBlock().text(), QString("L0"));
}

// A line that never ends is shown as lines of kMaxLineLength characters,
// however the bytes are cut into pieces; a line end starts the count again.
TEST(ConsoleView, BreaksALineThatReachesTheLengthLimit)
{
    const int max = Console::kMaxLineLength;
    const QByteArray endless(3 * max + 10, 'x');
    for (int piece : {1, 7, 64, max, 4 * max}) {
        Console console;
        console.putData("ab\r");
        for (int at = 0; at < endless.size(); at += piece)
            console.putData(endless.mid(at, piece));
        console.putData("\r" + QByteArray(max, 'y'));
        const QStringList lines = console.toPlainText().split('\n');
        const QStringList expected = {"ab", QString(max, 'x'), QString(max, 'x'), QString(max, 'x'),
                                      QString(10, 'x'), QString(max, 'y')};
        EXPECT_EQ(lines, expected) << piece;
    }
}

TEST(ConsoleView, KeepsASurrogatePairOnOneLine)
{
    const int max = Console::kMaxLineLength;
    Console console;
    // U+1F600 in UTF-8 is two UTF-16 units; it would straddle the limit.
    console.putData(QByteArray(max - 1, 'x') + "\xF0\x9F\x98\x80" + "z");
    const QStringList lines = console.toPlainText().split('\n');
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines.at(0), QString(max - 1, 'x') + QString::fromUtf8("\xF0\x9F\x98\x80"));
    EXPECT_EQ(lines.at(1), QString("z"));
}

// Runs each test in a fresh working directory.
class ConsoleSave : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        previous = QDir::currentPath();
        ASSERT_TRUE(QDir::setCurrent(dir.path()));
    }
    void TearDown() override { QDir::setCurrent(previous); }

    QStringList files() const { return QDir(dir.path()).entryList(QDir::Files | QDir::System); }

    // Names "<prefix>(MM-dd_hhmmss).txt" for every second of the next few,
    // so that whatever second Save() runs in, its name is taken.
    QStringList namesForComingSeconds(const QString &prefix, int seconds = 4) const
    {
        QStringList names;
        const QDateTime now = QDateTime::currentDateTime();
        for (int s = 0; s < seconds; ++s)
            names << prefix + now.addSecs(s).toString("(MM-dd_hhmmss)") + ".txt";
        return names;
    }

    // Saves a console holding "x" under `prefix` (none when null); a
    // MessageBoxRecorder living meanwhile takes the box it shows.
    static void saveX(const char *prefix = nullptr)
    {
        Console console;
        if (prefix)
            console.setFilePrefix(prefix);
        console.putData("x");
        console.Save();
    }

    QTemporaryDir dir;
    QString previous;
};

TEST_F(ConsoleSave, WritesTheShownTextToAFileNamedByPortAndTime)
{
    Console console;
    console.setFilePrefix("COM3");
    console.putData("t1232112\rt4560\r");
    MessageBoxRecorder boxes;
    const QDateTime before = QDateTime::currentDateTime().addMSecs(-1000);
    console.Save();
    const QDateTime after = QDateTime::currentDateTime();

    ASSERT_EQ(boxes.count(), 1) << boxes.summary().toStdString();
    EXPECT_EQ(boxes.at(0).title, QString("Info"));
    EXPECT_EQ(boxes.at(0).text, QString("Saved"));

    const QStringList written = files();
    ASSERT_EQ(written.size(), 1) << written.join(", ").toStdString();
    const QRegularExpression pattern("^COM3\\((\\d\\d-\\d\\d_\\d{6})\\)\\.txt$");
    const QRegularExpressionMatch m = pattern.match(written.first());
    ASSERT_TRUE(m.hasMatch()) << written.first().toStdString();
    QDateTime stamp = QDateTime::fromString(m.captured(1), "MM-dd_hhmmss");
    stamp.setDate(QDate(before.date().year(), stamp.date().month(), stamp.date().day()));
    EXPECT_GE(stamp, before.addMSecs(-before.time().msec()));
    EXPECT_LE(stamp, after);

    QFile file(written.first());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("t1232112\nt4560\n\n"));
}

TEST_F(ConsoleSave, WithoutAPrefixTheNameStartsWithTheTime)
{
    MessageBoxRecorder boxes;
    saveX();
    const QStringList written = files();
    ASSERT_EQ(written.size(), 1);
    EXPECT_TRUE(QRegularExpression("^\\(\\d\\d-\\d\\d_\\d{6}\\)\\.txt$").match(written.first()).hasMatch())
        << written.first().toStdString();
}

TEST_F(ConsoleSave, PathSeparatorsInThePortNameStayInTheFileName)
{
    MessageBoxRecorder boxes;
    saveX("pts/3");
    ASSERT_EQ(boxes.count(), 1);
    EXPECT_EQ(boxes.at(0).text, QString("Saved"));
    const QStringList written = files();
    ASSERT_EQ(written.size(), 1);
    EXPECT_TRUE(written.first().startsWith("pts_3(")) << written.first().toStdString();
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList());
}

TEST_F(ConsoleSave, SavingAgainInTheSameSecondReplacesTheFile)
{
    Console console;
    console.setFilePrefix("COM1");
    console.putData("a much longer first text\r");
    MessageBoxRecorder boxes;
    // Save until two saves fall into one second.
    for (int attempt = 0; attempt < 5; ++attempt) {
        const QDateTime start = QDateTime::currentDateTime();
        console.Save();
        console.clear();
        console.putData("b");
        console.Save();
        if (QDateTime::currentDateTime().toSecsSinceEpoch() == start.toSecsSinceEpoch())
            break;
        for (const QString &f : files())
            QFile::remove(f);
        console.clear();
        console.putData("a much longer first text\r");
    }
    const QStringList written = files();
    ASSERT_EQ(written.size(), 1);
    QFile file(written.first());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("b\n"));
}

// A port name whose file names for the coming seconds are all taken by
// something Save() cannot write its log into.
struct UnsavableCase {
    const char *name;
    const char *prefix;
    bool (*occupy)(const QDir &dir, const QString &name);
    bool needsFullDevice;
    const char *message; // how the error box's text starts
};

bool occupyWithFolder(const QDir &dir, const QString &name)
{
    return dir.mkdir(name);
}

// The file opens, but every write to it fails.
bool occupyWithFullDevice(const QDir &dir, const QString &name)
{
    return QFile::link("/dev/full", dir.filePath(name));
}

void PrintTo(const UnsavableCase &c, std::ostream *os)
{
    *os << c.name;
}

class ConsoleSaveFailure : public ConsoleSave, public ::testing::WithParamInterface<UnsavableCase> {
};

TEST_P(ConsoleSaveFailure, IsReportedAsAnErrorNotSaved)
{
    const UnsavableCase &c = GetParam();
    if (c.needsFullDevice && !QFileInfo::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    for (const QString &name : namesForComingSeconds(c.prefix))
        ASSERT_TRUE(c.occupy(QDir(dir.path()), name)) << name.toStdString();
    MessageBoxRecorder boxes;
    saveX(c.prefix);
    ASSERT_EQ(boxes.count(), 1) << boxes.summary().toStdString();
    EXPECT_EQ(boxes.at(0).title, QString("Error"));
    EXPECT_EQ(boxes.at(0).icon, QMessageBox::Critical);
    EXPECT_TRUE(boxes.at(0).text.startsWith(c.message)) << boxes.summary().toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Unsavable, ConsoleSaveFailure,
    ::testing::Values(
        UnsavableCase{"FileCannotBeCreated", "COM4", occupyWithFolder, false, "Cannot create the log file COM4("},
        UnsavableCase{"WriteFails", "COM5", occupyWithFullDevice, true, "Cannot write the log file COM5("}),
    [](const ::testing::TestParamInfo<UnsavableCase> &info) { return std::string(info.param.name); });

} // namespace
