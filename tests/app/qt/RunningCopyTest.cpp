// The single-copy socket: a later copy hands its data file to the first,
// one left behind by a copy that died is taken over, and between users of
// one machine it lives where only its user may make it, and a copy hands its
// data file only to a copy of the same user. Another user is played by
// "nobody" (the tests run as root to make it; skipped otherwise).

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>

#include "RunningCopy.h"

#ifdef Q_OS_UNIX
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>

#include "ChildProcess.h"
#endif

namespace {

QString TestName() {
    return QStringLiteral("gpsupdate-test-%1-%2")
        .arg(QCoreApplication::applicationPid())
        .arg(QDateTime::currentMSecsSinceEpoch());
}

}  // namespace

// A free name has no copy behind it, nor has a socket left behind by a copy
// that died; the first copy takes that over.
TEST(RunningCopy, ALaterCopyHandsItsFileToTheFirstAndAFreeOrLeftNameHasNoCopy) {
    const QString name = TestName();
    RunningCopy alone(name);
    EXPECT_EQ(alone.HandOver(QStringLiteral("x.apd"), 2000),
              RunningCopy::HandOverResult::NoOtherCopy);
#ifndef Q_OS_WIN
    // What a copy that was killed leaves: the socket's file, nobody behind it.
    QFile left(QDir(QDir::tempPath()).filePath(name));
    ASSERT_TRUE(left.open(QIODevice::WriteOnly));
    left.close();
    EXPECT_EQ(alone.HandOver(QString(), 2000), RunningCopy::HandOverResult::NoOtherCopy);
#endif

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

#ifdef Q_OS_UNIX
namespace fs = std::filesystem;

namespace {

// The ids of "nobody", when the tests run as root and can act as another user.
std::optional<std::pair<uid_t, gid_t>> Nobody() {
    const passwd* entry = getpwnam("nobody");
    if (entry == nullptr || geteuid() != 0) {
        return std::nullopt;
    }
    return std::pair{entry->pw_uid, entry->pw_gid};
}

fs::path Fresh(const std::string& name, fs::perms perms) {
    const fs::path folder =
        fs::temp_directory_path() / ("gpsupdate-copy-" + std::to_string(getpid())) / name;
    fs::remove_all(folder);
    fs::create_directories(folder);
    fs::permissions(folder, perms);
    return folder;
}

// Sets an environment variable for the scope (unset: empty).
struct Env {
    std::string name;
    std::optional<std::string> before;
    Env(const char* variable, const std::string& value) : name(variable) {
        if (const char* was = std::getenv(variable)) {
            before = was;
        }
        value.empty() ? unsetenv(variable) : setenv(variable, value.c_str(), 1);
    }
    ~Env() { before ? setenv(name.c_str(), before->c_str(), 1) : unsetenv(name.c_str()); }
};

}  // namespace

TEST(RunningCopyUsers, TheSocketIsInAFolderOfTheUsersOwnOrThereIsNone) {
    const auto nobody = Nobody();
    const fs::path runtime = Fresh("runtime", fs::perms::owner_all);
    const fs::path open =
        Fresh("open", fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                          fs::perms::others_read | fs::perms::others_exec);
    const fs::path tmp = Fresh("tmp", fs::perms::all);
    const std::string own = (tmp / ("gpsupdate-" + std::to_string(geteuid()))).string();
    const Env temporary("TMPDIR", tmp.string());
    {
        const Env xdg("XDG_RUNTIME_DIR", runtime.string());
        EXPECT_EQ(RunningCopy::ForThisUser().toStdString(), runtime.string() + "/gpsupdate.socket");
    }
    for (const fs::path& unusable : {open, fs::path()}) {
        const Env xdg("XDG_RUNTIME_DIR", unusable.string());
        EXPECT_EQ(RunningCopy::ForThisUser().toStdString(), own + "/gpsupdate.socket");
        struct stat info {};
        ASSERT_EQ(lstat(own.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0700u);
    }
    // The fallback folder made first by someone else, or a link to a folder.
    const Env xdg("XDG_RUNTIME_DIR", "");
    fs::remove_all(own);
    fs::create_directory_symlink(runtime, own);
    QString why;
    EXPECT_TRUE(RunningCopy::ForThisUser(&why).isEmpty());
    EXPECT_NE(why.toStdString().find("is not a folder"), std::string::npos) << why.toStdString();
    if (!nobody) {
        GTEST_SKIP() << "another user's folder needs root to make";
    }
    fs::remove(own);
    fs::create_directory(own);
    fs::permissions(own, fs::perms::owner_all);
    ASSERT_EQ(chown(own.c_str(), nobody->first, nobody->second), 0);
    EXPECT_TRUE(RunningCopy::ForThisUser(&why).isEmpty());
    EXPECT_NE(why.toStdString().find("is not this user's alone"), std::string::npos)
        << why.toStdString();
}

// Another user listening where this user's copy would be (a name squatted
// before the socket moved to the user's folder): it gets no data file's
// path, and this copy does not end as if one ran.
TEST(RunningCopyUsers, ACopyHandsItsFileOnlyToACopyOfTheSameUser) {
    const auto nobody = Nobody();
    if (!nobody) {
        GTEST_SKIP() << "playing another user needs root";
    }
    const fs::path folder = Fresh("squatter", fs::perms::owner_all);
    ASSERT_EQ(chown(folder.c_str(), nobody->first, nobody->second), 0);
    const std::string path = (folder / "gpsupdate.socket").string();
    // Takes what a copy sends (up to two lines, 3 s), answers "ok" and says what it got.
    const char* const script =
        "import socket, sys\n"
        "s = socket.socket(socket.AF_UNIX); s.bind(sys.argv[1]); s.listen(1)\n"
        "print('listening', flush=True)\n"
        "c, _ = s.accept(); c.settimeout(3); got = b''\n"
        "try:\n"
        "    while got.count(b'\\n') < 2 and (more := c.recv(4096)): got += more\n"
        "    c.sendall(b'ok\\n')\n"
        "except OSError: pass\n"
        "print('got', repr(got), flush=True)\n";
    ChildProcess squatter("/usr/sbin/runuser",
                          {"-u", "nobody", "--", "/usr/bin/python3", "-c", script, path});
    ASSERT_TRUE(squatter.WaitForLine("listening", 10000)) << squatter.Errors(1000);
    RunningCopy copy(QString::fromStdString(path));
    EXPECT_EQ(copy.HandOver(QStringLiteral("/home/operator/地圖/secret.apd"), 3000),
              RunningCopy::HandOverResult::NoOtherCopy);
    ASSERT_TRUE(squatter.WaitForLine("got ", 10000));
    EXPECT_NE(squatter.Output().find("got b''"), std::string::npos) << squatter.Output();
    EXPECT_EQ(squatter.Output().find("secret"), std::string::npos) << squatter.Output();
}
#endif
