#include <gtest/gtest.h>

#include <memory>

#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTranslator>

#include "EventLoopWait.h"
#include "ProgramLanguage.h"
#include "QtFileDialog.h"
#include "QtMessageBoxes.h"
#include "QtSerialControl.h"
#include "QtSettingsStore.h"
#include "QtWindowTimer.h"
#include "WindowHarness.h"

using namespace platform;

TEST(QtWindowTimer, ZeroIntervalNeverFiresAndTheHandlerMayDestroyItsTimer) {
    int ticks = 0;
    auto timer = std::make_unique<QtWindowTimer>();
    timer->SetOnTimer([&] { ++ticks; });
    timer->SetEnabled(true);
    EXPECT_TRUE(timer->Enabled());
    EXPECT_FALSE(timer->Counting());
    PumpFor(30);
    EXPECT_EQ(ticks, 0);

    timer->SetInterval(5);
    EXPECT_TRUE(timer->Counting());
    timer->SetEnabled(false);
    EXPECT_FALSE(timer->Counting());
    EXPECT_EQ(timer->Interval(), 5);

    // A handler that releases its own timer, as a closing window does.
    timer->SetOnTimer([&] {
        ++ticks;
        timer.reset();
    });
    timer->SetEnabled(true);
    PumpUntil([&] { return !timer; }, 2000);
    EXPECT_EQ(ticks, 1);
    PumpFor(20);  // the QTimer handed to the event loop goes cleanly
}

TEST(QtFileDialog, FilterPairsBecomeQtNameFilters) {
    const struct {
        const char* filter;
        QStringList expected;
    } cases[] = {
        {"All Files (*.*)|*.*|GPS 資料檔 (*.apd)|*.apd", {"All Files (*)", "GPS 資料檔 (*.apd)"}},
        {"Logs|*.txt;*.log", {"Logs (*.txt *.log)"}},
        {"Data (*.apd)|*.APD", {"Data (*.apd) (*.APD)"}},
        {"Only a description", {"Only a description (*)"}},
        {"|*.apd", {"(*.apd)"}},
        {"", {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(QtFileDialog::ToNameFilters(c.filter), c.expected)
            << "filter \"" << c.filter << "\"";
    }
}

TEST(QtFileDialog, OpensInTheRequestedFolderWithTheFileSelected) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile file(dir.filePath(QStringLiteral("舊資料.apd")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    FileDialogRequest request;
    request.filter = "GPS 資料檔 (*.apd)|*.apd";
    request.folder = dir.path().toStdString();
    request.fileName = "舊資料.apd";

    QString shownFolder;
    QStringList selected;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        shownFolder = dialog->directory().absolutePath();
        selected = dialog->selectedFiles();
        static_cast<QDialog*>(dialog)->accept();
    });
    QtFileDialog dialog;
    const std::optional<std::string> chosen = dialog.ShowOpen(request);
    EXPECT_EQ(shownFolder, QDir(dir.path()).absolutePath());
    EXPECT_EQ(selected, QStringList{file.fileName()});
    EXPECT_EQ(chosen, QDir::toNativeSeparators(file.fileName()).toStdString());
}

TEST(QtSettingsStore, KeepsStringsBySectionAndKeyAndGivesDefaultsForABadStore) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("gpsupdate.conf");
    {
        QtSettingsStore store(path);
        EXPECT_EQ(store.GetSetting("gpsupdate", "SetupOptions", "GPS Comm Port", "1"), "1");
        store.SaveSetting("gpsupdate", "SetupOptions", "Auto Save Seutp Data", "1");
        store.SaveSetting("gpsupdate", "SetupOptions", "GPS Update file Name",
                          "D:\\資料, 新\\a.apd");
        store.SaveSetting("gpsupdate", "Other", "GPS Comm Port", "9");
        store.SaveSetting("gpsupdate", "SetupOptions", "GPS Comm Port", "5");
    }
    QtSettingsStore store(path);
    EXPECT_EQ(store.GetSetting("gpsupdate", "SetupOptions", "GPS Update file Name", ""),
              "D:\\資料, 新\\a.apd");
    EXPECT_EQ(store.GetSetting("gpsupdate", "SetupOptions", "GPS Comm Port", ""), "5");
    EXPECT_EQ(store.GetSetting("gpsupdate", "Other", "GPS Comm Port", ""), "9");
    EXPECT_EQ(store.GetSetting("gpsupdate", "SetupOptions", "Auto Save Seutp Data", "0"), "1");
    EXPECT_EQ(store.GetSetting("gpsupdate", "SetupOptions", "missing", "dflt"), "dflt");

    // A hand-edited value with a bare comma reads back whole.
    QFile edited(dir.filePath("edited.conf"));
    ASSERT_TRUE(edited.open(QIODevice::WriteOnly));
    edited.write("[SetupOptions]\nGPS%20Update%20file%20Name=C:\\\\a, b.apd\n");
    edited.close();
    EXPECT_EQ(QtSettingsStore(edited.fileName())
                  .GetSetting("gpsupdate", "SetupOptions", "GPS Update file Name", ""),
              "C:\\a, b.apd");

    // Damaged contents and a store that is not a file: defaults, no crash.
    QFile damaged(dir.filePath("damaged.conf"));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write("[SetupOptions\nGPS%20Comm%20Port=7\n\xff\xfe\x00garbage");
    damaged.close();
    QtSettingsStore broken(damaged.fileName());
    EXPECT_EQ(broken.GetSetting("gpsupdate", "SetupOptions", "GPS Comm Port", "1"), "1");
    // Saving replaces the damaged store with a fresh one.
    broken.SaveSetting("gpsupdate", "SetupOptions", "GPS Comm Port", "3");
    EXPECT_EQ(broken.GetSetting("gpsupdate", "SetupOptions", "GPS Comm Port", "1"), "3");
    EXPECT_EQ(QtSettingsStore(damaged.fileName())
                  .GetSetting("gpsupdate", "SetupOptions", "Auto Save Seutp Data", "1"),
              "1");

    // A folder where the file should be, and a folder that cannot be made:
    // the write is lost.
    QFile(dir.filePath("a-file")).open(QIODevice::WriteOnly);
    for (const QString& unusable : {dir.path(), dir.filePath("a-file/gpsupdate.conf")}) {
        SCOPED_TRACE(unusable.toStdString());
        QtSettingsStore store(unusable);
        EXPECT_EQ(store.GetSetting("gpsupdate", "SetupOptions", "GPS Comm Port", "1"), "1");
        store.SaveSetting("gpsupdate", "SetupOptions", "GPS Comm Port", "3");
        EXPECT_EQ(store.GetSetting("gpsupdate", "SetupOptions", "GPS Comm Port", "1"), "1");
    }

    // The native per-user place is named after the application.
    EXPECT_TRUE(QtSettingsStore().Location("gpsupdate").contains("gpsupdate"));
}

TEST(QtMessageBoxes, ShowsAModalBoxWithTheAskedIconButtonsAndCaption) {
    QtMessageBoxes boxes;
    EXPECT_EQ(QtMessageBoxes::ToDisplayText("    資料傳送中被取消!! \r\n\r\n GPS"),
              QStringLiteral("    資料傳送中被取消!! \n\n GPS"));

    struct Seen {
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QMessageBox::StandardButtons buttons;
        QString title;
        QString text;
        bool modal = false;
        QMessageBox::StandardButton byEnter = QMessageBox::NoButton;
    };
    // Answers the box once it is open, pressing the given button.
    auto answer = [](Seen& seen, QMessageBox::StandardButton press) {
        QTimer::singleShot(0, [&seen, press] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr) {
                return;
            }
            seen = {box->icon(),
                    box->standardButtons(),
                    box->windowTitle(),
                    box->text(),
                    box->isModal(),
                    box->defaultButton() != nullptr ? box->standardButton(box->defaultButton())
                                                    : QMessageBox::NoButton};
            box->button(press)->click();
        });
    };

    Seen seen;
    answer(seen, QMessageBox::No);
    EXPECT_EQ(boxes.Show("line 1\r\nline 2", MsgButtons::YesNo, MsgIcon::Exclamation),
              MsgResult::No);
    EXPECT_EQ(seen.icon, QMessageBox::Warning);
    EXPECT_EQ(seen.buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(seen.title, QApplication::applicationDisplayName());
    EXPECT_EQ(seen.text, "line 1\nline 2");
    EXPECT_TRUE(seen.modal);
    EXPECT_EQ(seen.byEnter, QMessageBox::No);  // a question is never answered Yes by Enter

    answer(seen, QMessageBox::Cancel);
    EXPECT_EQ(boxes.Show("x", MsgButtons::OkCancel, MsgIcon::Critical), MsgResult::Cancel);
    EXPECT_EQ(seen.icon, QMessageBox::Critical);
    EXPECT_EQ(seen.buttons, QMessageBox::Ok | QMessageBox::Cancel);
    // Nor the question before overwriting a current unit OK.
    EXPECT_EQ(seen.byEnter, QMessageBox::Cancel);

    answer(seen, QMessageBox::Ok);
    EXPECT_EQ(boxes.Show("x", MsgButtons::Ok, MsgIcon::Information), MsgResult::Ok);
    EXPECT_EQ(seen.icon, QMessageBox::Information);
    EXPECT_EQ(seen.buttons, QMessageBox::Ok);

    QtMessageBoxes titled(QStringLiteral("GPS"));
    answer(seen, QMessageBox::Yes);
    EXPECT_EQ(titled.Show("x", MsgButtons::YesNo, MsgIcon::None), MsgResult::Yes);
    EXPECT_EQ(seen.icon, QMessageBox::NoIcon);
    EXPECT_EQ(seen.title, "GPS");
}

TEST(QtSerialControl, DescribesTheDeviceANumberNamesAndANumberWithoutOne) {
    QTemporaryDir dir;
    const QString device = dir.filePath(QStringLiteral("unit"));
    QFile(device).open(QIODevice::WriteOnly);
    qputenv("GPSUPDATE_COM7", device.toUtf8());
    qputenv("GPSUPDATE_COM8", dir.filePath(QStringLiteral("gone")).toUtf8());
    platform::QtSerialControl serial;
    const platform::PortFacts named = serial.DescribePort(7);
    EXPECT_EQ(named.device, device.toStdString());
    EXPECT_TRUE(named.named);
    EXPECT_TRUE(named.present);
    const platform::PortFacts gone = serial.DescribePort(8);
    EXPECT_TRUE(gone.named);
    EXPECT_FALSE(gone.present);
#ifndef Q_OS_WIN
    // No machine here has sixteen serial devices.
    EXPECT_EQ(serial.DescribePort(16).device, "");
#endif
    // The whole list, from one look at the system, says the same port by port.
    const std::vector<platform::PortFacts> all = serial.DescribePorts(16);
    ASSERT_EQ(all.size(), 16u);
    for (int port = 1; port <= 16; ++port) {
        SCOPED_TRACE(port);
        const platform::PortFacts one = serial.DescribePort(port);
        const platform::PortFacts& listed = all[static_cast<std::size_t>(port - 1)];
        EXPECT_EQ(listed.device, one.device);
        EXPECT_EQ(listed.named, one.named);
        EXPECT_EQ(listed.present, one.present);
        EXPECT_EQ(listed.description, one.description);
    }
    qunsetenv("GPSUPDATE_COM7");
    qunsetenv("GPSUPDATE_COM8");
}

TEST(ProgramLanguage, TheBoxesButtonsAndTheFileDialogSpeakTraditionalChinese) {
    QTranslator* translator = UseTraditionalChineseQtTexts(nullptr);
    ASSERT_NE(translator, nullptr) << "Qt's zh_TW translations are not installed";
    QMessageBox box(QMessageBox::Warning, QStringLiteral("t"), QStringLiteral("x"),
                    QMessageBox::Ok | QMessageBox::Cancel | QMessageBox::Yes | QMessageBox::No);
    const struct {
        QMessageBox::StandardButton button;
        const char* text;
    } buttons[] = {{QMessageBox::Ok, "確定"},
                   {QMessageBox::Cancel, "取消"},
                   {QMessageBox::Yes, "是"},
                   {QMessageBox::No, "否"}};
    for (const auto& b : buttons) {
        EXPECT_TRUE(box.button(b.button)->text().contains(QString::fromUtf8(b.text)))
            << box.button(b.button)->text().toStdString();
    }
    // The window's title, which the program gives its boxes as caption.
    WindowHarness h;
    EXPECT_EQ(h.Start().windowTitle().toStdString(), kProgramTitle);

    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    EXPECT_NE(dialog.labelText(QFileDialog::FileName), QStringLiteral("File &name:"));
    QCoreApplication::removeTranslator(translator);
    delete translator;
}
