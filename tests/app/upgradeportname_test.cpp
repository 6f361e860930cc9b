// The port name that the firmware upgrade carries in its 50-byte field.
#include "app/upgradeportname.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

constexpr int kCapacity = 50;

class UpgradePortName : public ::testing::Test {
protected:
    // A path in the temporary folder exactly `length` characters long.
    QString pathOf(int length, QChar fill = 'p')
    {
        QString path = dir.path() + "/";
        path += QString(length - path.size(), fill);
        return path;
    }
    QString linkTo(const QString &target, int length)
    {
        const QString path = pathOf(length);
        EXPECT_TRUE(QFile::link(target, path)) << path.toStdString();
        return path;
    }
    QTemporaryDir dir{"/tmp/vupXXXXXX"};
};

TEST_F(UpgradePortName, ANameThatFitsIsKeptAsItIs)
{
    EXPECT_EQ(upgradePortName("ttyUSB0", kCapacity), QString("ttyUSB0"));
    EXPECT_EQ(upgradePortName("pts/3", kCapacity), QString("pts/3"));
    const QString fits = pathOf(49);
    EXPECT_EQ(upgradePortName(fits, kCapacity), fits) << "kept even when it leads nowhere";
}

TEST_F(UpgradePortName, ALongLinkGivesTheDeviceItLeadsTo)
{
    // /dev/null stands for the device node; a chain of links is followed.
    const QString first = linkTo("/dev/null", 60);
    EXPECT_EQ(upgradePortName(first, kCapacity), QString("/dev/null"));
    const QString second = linkTo(first, 120);
    EXPECT_EQ(upgradePortName(second, kCapacity), QString("/dev/null"));
}

TEST_F(UpgradePortName, ANameWithoutALeadingSlashIsResolvedUnderDev)
{
    QString name;
    for (int i = 0; i < 25; ++i)
        name += "./";
    name += "null";
    ASSERT_GE(name.size(), kCapacity);
    EXPECT_EQ(upgradePortName(name, kCapacity), QString("/dev/null"));
}

TEST_F(UpgradePortName, NothingIsGivenWhenNeitherFits)
{
    const QString longFile = pathOf(80, 'f');
    QFile file(longFile);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    EXPECT_EQ(upgradePortName(linkTo(longFile, 90), kCapacity), QString());
    EXPECT_EQ(upgradePortName(pathOf(60, 'n'), kCapacity), QString()) << "leads nowhere";
}

} // namespace
