#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>

#include "RunningCopy.h"

namespace {

QString TestName() {
    return QStringLiteral("gpsupdate-test-%1-%2")
        .arg(QCoreApplication::applicationPid())
        .arg(QDateTime::currentMSecsSinceEpoch());
}

}  // namespace

TEST(RunningCopy, ALaterCopyHandsItsFileToTheFirstAndAFreeNameHasNoCopy) {
    const QString name = TestName();
    RunningCopy alone(name);
    EXPECT_EQ(alone.HandOver(QStringLiteral("x.apd"), 2000),
              RunningCopy::HandOverResult::NoOtherCopy);

    RunningCopy first(name);
    ASSERT_TRUE(first.Listen());
    QStringList taken;
    QObject::connect(&first, &RunningCopy::broughtToFront,
                     [&taken](const QString& file) { taken << file; });
    RunningCopy later(name);
    EXPECT_EQ(later.HandOver(QStringLiteral("/地圖/新 資料.apd"), 2000),
              RunningCopy::HandOverResult::Taken);
    EXPECT_EQ(later.HandOver(QString(), 2000), RunningCopy::HandOverResult::Taken);
    QCoreApplication::processEvents();
    EXPECT_EQ(taken, (QStringList{QStringLiteral("/地圖/新 資料.apd"), QString()}));
}

#ifndef Q_OS_WIN
TEST(RunningCopy, ASocketLeftBehindByACopyThatDiedIsTakenOver) {
    const QString name = TestName();
    // What a copy that was killed leaves: the socket's file, nobody behind it.
    QFile left(QDir(QDir::tempPath()).filePath(name));
    ASSERT_TRUE(left.open(QIODevice::WriteOnly));
    left.close();
    RunningCopy next(name);
    EXPECT_EQ(next.HandOver(QString(), 2000), RunningCopy::HandOverResult::NoOtherCopy);
    ASSERT_TRUE(next.Listen());
    RunningCopy later(name);
    EXPECT_EQ(later.HandOver(QString(), 2000), RunningCopy::HandOverResult::Taken);
}
#endif
