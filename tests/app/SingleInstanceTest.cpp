#include "app/SingleInstance.h"
#include "support/TempDir.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QLockFile>

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <cstring>
#include <optional>
#include <thread>

#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

using plimbury::test::TempDir;

namespace {

QString folderOf(const TempDir& dir)
{
    return QString::fromStdString(dir.path().string());
}

// Runs the event loop until `count` reaches `wanted` or the time is up.
bool waitFor(const int& count, int wanted, int ms = 3000)
{
    const QDeadlineTimer deadline(ms);
    while (count < wanted && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return count >= wanted;
}

// Another process that takes the lock; with `stay` it keeps it until killed,
// else it dies at once and leaves the file behind, as after a crash.
pid_t lockInAnotherProcess(const QString& lockPath, bool stay)
{
    int ready[2];
    if (pipe(ready) != 0)
        return -1;
    const pid_t child = fork();
    if (child == 0) {
        QLockFile lock(lockPath);
        const char taken = lock.tryLock(0) ? 'y' : 'n';
        [[maybe_unused]] const ssize_t written = write(ready[1], &taken, 1);
        if (stay)
            pause();
        _exit(0);   // no destructor: the lock file stays
    }
    close(ready[1]);
    char taken = 'n';
    [[maybe_unused]] const ssize_t got = read(ready[0], &taken, 1);
    close(ready[0]);
    if (!stay)
        waitpid(child, nullptr, 0);
    return taken == 'y' ? child : -1;
}

TEST(SingleInstance, ALaterStartShowsTheRunningCopyOrJustEndsWithTray)
{
    TempDir dir;
    SingleInstance running(folderOf(dir));
    int shown = 0;
    QObject::connect(&running, &SingleInstance::showRequested, [&] { ++shown; });
    ASSERT_TRUE(running.start({QStringLiteral("/TRAY")}));

    struct Case {
        QStringList arguments;
        int shownAfter;
    };
    for (const Case& c : {Case{{}, 1}, Case{{QStringLiteral("/TRAY")}, 1}, Case{{QStringLiteral("/tray")}, 2}}) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        SingleInstance later(folderOf(dir));
        EXPECT_FALSE(later.start(c.arguments));
        waitFor(shown, c.shownAfter, c.shownAfter > shown ? 3000 : 300);
        EXPECT_EQ(shown, c.shownAfter);
    }
}

TEST(SingleInstance, TheLockGoesWithTheCopyThatHeldIt)
{
    TempDir dir;
    {
        SingleInstance first(folderOf(dir));
        ASSERT_TRUE(first.start({}));
        EXPECT_TRUE(QFile::exists(first.lockPath()));
    }
    SingleInstance next(folderOf(dir));
    EXPECT_TRUE(next.start({}));
}

TEST(SingleInstance, ALiveCopyElsewhereKeepsItsLockAndADeadOnesLockIsRecovered)
{
    TempDir dir;
    SingleInstance probe(folderOf(dir));
    const pid_t alive = lockInAnotherProcess(probe.lockPath(), true);
    ASSERT_GT(alive, 0);
    {
        SingleInstance later(folderOf(dir));
        EXPECT_FALSE(later.start({QStringLiteral("/TRAY")})) << "the other process runs";
    }
    kill(alive, SIGKILL);
    waitpid(alive, nullptr, 0);
    ASSERT_TRUE(QFile::exists(probe.lockPath())) << "a killed copy leaves its lock file";

    // A crash also leaves the socket file: the new running copy still listens.
    const QByteArray socketPath = QFile::encodeName(probe.socketPath());
    const int stale = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, socketPath.constData(), static_cast<std::size_t>(socketPath.size()));
    ASSERT_EQ(bind(stale, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    close(stale);

    SingleInstance recovered(folderOf(dir));
    int shown = 0;
    QObject::connect(&recovered, &SingleInstance::showRequested, [&] { ++shown; });
    EXPECT_TRUE(recovered.start({QStringLiteral("/TRAY")}));
    SingleInstance later(folderOf(dir));
    EXPECT_FALSE(later.start({}));
    EXPECT_TRUE(waitFor(shown, 1));
}

TEST(SingleInstance, ALockFileOfADeadProcessDoesNotBlockTheStart)
{
    TempDir dir;
    SingleInstance probe(folderOf(dir));
    ASSERT_GT(lockInAnotherProcess(probe.lockPath(), false), 0);
    ASSERT_TRUE(QFile::exists(probe.lockPath()));
    SingleInstance next(folderOf(dir));
    EXPECT_TRUE(next.start({}));
}

TEST(SingleInstance, ALockNamingThisVeryProcessIsADeadCopysLock)
{
    // After a restart, or in a new Wine session, a copy can be given the
    // process number of the copy that died holding the lock.
    TempDir dir;
    SingleInstance probe(folderOf(dir));
    QByteArray contents;
    {
        QLockFile lock(probe.lockPath());
        ASSERT_TRUE(lock.tryLock(0));
        QFile file(probe.lockPath());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        contents = file.readAll();
    }
    QFile file(probe.lockPath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(contents), contents.size());
    file.close();

    SingleInstance next(folderOf(dir));
    EXPECT_TRUE(next.start({}));
    SingleInstance later(folderOf(dir));
    EXPECT_FALSE(later.start({QStringLiteral("/TRAY")}));
}

TEST(SingleInstance, AFolderThatCannotHoldALockDoesNotStopTheProgram)
{
    TempDir dir;
    SingleInstance nowhere(folderOf(dir) + QStringLiteral("/missing/folder"));
    EXPECT_TRUE(nowhere.start({}));
}

} // namespace

namespace {

// A later copy's command reaches the running copy's handler, and its answer
// comes back whole; with no copy running there is no answer at all.
TEST(SingleInstanceCommands, TheRunningCopyAnswersWhatItIsAsked)
{
    TempDir dir;
    SingleInstance running(folderOf(dir));
    ASSERT_TRUE(running.start({}));
    QStringList asked;
    running.setCommandHandler([&](const QString& argument) {
        asked.push_back(argument);
        return SingleInstance::Reply{argument == QLatin1String("--pause") ? 0 : 1,
                                     QStringLiteral("answer to %1\nsecond line é").arg(argument)};
    });

    for (const QString& argument : {QStringLiteral("--pause"), QStringLiteral("--next")}) {
        // The later copy blocks while it waits: it asks from a thread of its
        // own so that this one can answer.
        std::optional<SingleInstance::Reply> reply;
        std::atomic<int> done = 0;
        std::thread later([&] {
            SingleInstance copy(folderOf(dir));
            reply = copy.sendCommand(argument, 10000);
            done = 1;
        });
        const QDeadlineTimer deadline(10000);
        while (!done && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        later.join();
        ASSERT_TRUE(reply.has_value()) << argument.toStdString();
        EXPECT_EQ(reply->status, argument == QLatin1String("--pause") ? 0 : 1);
        EXPECT_EQ(reply->text, QStringLiteral("answer to %1\nsecond line é").arg(argument));
    }
    EXPECT_EQ(asked, (QStringList{QStringLiteral("--pause"), QStringLiteral("--next")}));

    TempDir nobody;
    SingleInstance alone(folderOf(nobody));
    EXPECT_FALSE(alone.sendCommand(QStringLiteral("--next"), 2000).has_value());
}

} // namespace
