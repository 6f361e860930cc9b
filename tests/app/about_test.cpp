// The About dialog and the compiled-in images.
#include "app/aboutdialog.h"

#include <QFile>
#include <QIcon>
#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QPushButton>
#include <QTextBlock>
#include <QTextDocument>

#include <gtest/gtest.h>

namespace {

TEST(AboutDialog, ShowsMakerProgramAndVersionOnThreeLines)
{
    AboutDialog dialog;
    dialog.setAboutInfo(QIcon(":/Icon/images/icon.ico"), "1.0.0.8");
    QLabel *label = dialog.findChild<QLabel *>("AboutLabel");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), QString("<b>Harbendale CAN Product Utility</b><br>Vantrel<br>Ver  1.0.0.8"));
    QTextDocument shown;
    shown.setHtml(label->text());
    // Rich text folds the two blanks after "Ver" into one.
    EXPECT_EQ(shown.toPlainText().replace(QChar::LineSeparator, '\n').toStdString(),
              "Harbendale CAN Product Utility\nVantrel\nVer 1.0.0.8");
    EXPECT_TRUE(shown.begin().begin().fragment().charFormat().font().bold());
    EXPECT_EQ(label->alignment(), Qt::AlignCenter);
    EXPECT_EQ(label->font().family(), QString::fromUtf8("\xea\xb5\xb4\xeb\xa6\xbc"));

    QPushButton *icon = dialog.findChild<QPushButton *>("iconB");
    ASSERT_NE(icon, nullptr);
    EXPECT_FALSE(icon->icon().isNull());
    EXPECT_EQ(icon->iconSize(), QSize(64, 64));
    EXPECT_EQ(icon->minimumSize(), QSize(64, 64));
    EXPECT_EQ(icon->maximumSize(), QSize(64, 64));
    EXPECT_TRUE(icon->isFlat());
    EXPECT_FALSE(icon->autoDefault());
    EXPECT_TRUE(icon->text().isEmpty());
}

TEST(AboutDialog, IsAFixedApplicationModalBoxWithoutHelpButton)
{
    AboutDialog dialog;
    EXPECT_EQ(dialog.objectName(), QString("AboutDialog"));
    EXPECT_EQ(dialog.windowTitle(), QString("About"));
    EXPECT_EQ(dialog.windowModality(), Qt::ApplicationModal);
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowContextHelpButtonHint);
    EXPECT_EQ(dialog.size(), QSize(344, 86));
    EXPECT_EQ(dialog.sizePolicy().horizontalPolicy(), QSizePolicy::Fixed);
    EXPECT_EQ(dialog.sizePolicy().verticalPolicy(), QSizePolicy::Fixed);
    EXPECT_EQ(dialog.font().family(), QString("Andalus"));
    EXPECT_FALSE(dialog.windowIcon().isNull());
}

struct Picture {
    const char *path;
    int width;
    int height;
};

TEST(AppResources, HoldEveryImageAtItsSize)
{
    const Picture pictures[] = {
        {":/images/Check_mark_green.png", 200, 179}, {":/images/Firmware.png", 64, 64},
        {":/images/x_mark_red.png", 251, 256},       {":/images/application-exit.png", 128, 128},
        {":/images/connect1.png", 128, 128},         {":/images/search.png", 256, 256},
        {":/images/disconnect.png", 128, 128},       {":/images/connect.png", 128, 128},
        {":/images/clear.png", 128, 128},            {":/images/settings.png", 128, 128},
        {":/images/Folder-Open-icon.png", 256, 256},
    };
    for (const Picture &p : pictures) {
        QImageReader reader(p.path);
        EXPECT_EQ(reader.format(), QByteArray("png")) << p.path;
        EXPECT_EQ(reader.size(), QSize(p.width, p.height)) << p.path;
    }
    QImage check(":/images/Check_mark_green.png");
    EXPECT_TRUE(check.hasAlphaChannel());
    EXPECT_EQ(qAlpha(check.pixel(0, 0)), 0);
    EXPECT_GT(qAlpha(check.pixel(100, 120)), 0);
}

TEST(AppResources, TheIconHoldsEverySizeAtThreeDepths)
{
    QImageReader reader(":/Icon/images/icon.ico");
    EXPECT_EQ(reader.format(), QByteArray("ico"));
    EXPECT_EQ(reader.imageCount(), 27);
    QIcon icon(":/Icon/images/icon.ico");
    const QList<QSize> sizes = icon.availableSizes();
    for (int s : {16, 24, 32, 48, 64, 72, 96, 128, 256})
        EXPECT_TRUE(sizes.contains(QSize(s, s))) << s;
    // The full-colour image of a size is the one shown.
    const QImage small = icon.pixmap(QSize(32, 32)).toImage();
    EXPECT_TRUE(small.hasAlphaChannel());
    EXPECT_EQ(qAlpha(small.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(small.pixel(16, 16)), 255);
}

TEST(AppResources, PathsMatchWithCase)
{
    EXPECT_TRUE(QFile::exists(":/images/search.png"));
    EXPECT_FALSE(QFile::exists(":/images/Search.png"));
    EXPECT_FALSE(QFile::exists(":/icon/images/icon.ico"));
    EXPECT_FALSE(QFile::exists(":/Images/clear.png"));
    EXPECT_TRUE(QIcon(":/images/Search.png").availableSizes().isEmpty());
    EXPECT_TRUE(QIcon(":/images/Search.png").pixmap(QSize(16, 16)).isNull());
}

} // namespace
