#include "app/ControlClient.h"

#include "app/SingleInstance.h"
#include "platform/Clock.h"
#include "platform/Store.h"

#include <QCoreApplication>

#include <cstdio>
#include <exception>
#include <memory>
#include <string>

namespace {

int printed(int status, const std::string& text)
{
    if (text.empty())
        return status;
    const bool lineEnd = text.back() == '\n';
    if (status == 0)
        std::fprintf(stdout, "%s%s", text.c_str(), lineEnd ? "" : "\n");
    else
        std::fprintf(stderr, "plimbury: %s%s", text.c_str(), lineEnd ? "" : "\n");
    return status;
}

} // namespace

int runControlCommand(int& argc, char** argv, plimbury::ControlCommand command)
{
    using plimbury::ControlCommand;
    try {
        if (command == ControlCommand::Help)
            return printed(0, plimbury::controlUsage());
        if (command == ControlCommand::Status) {
            const std::unique_ptr<plimbury::Store> store = plimbury::makeSystemStore();
            return printed(0, plimbury::statusReport(*store, plimbury::SystemClock().now()));
        }
        QCoreApplication application(argc, argv);
        SingleInstance single;
        const std::optional<SingleInstance::Reply> reply =
            single.sendCommand(QString::fromLatin1(plimbury::controlArgument(command)));
        if (!reply)
            return printed(1, "no running copy answers; start plimbury first");
        return printed(reply->status, reply->text.toStdString());
    } catch (const std::exception& e) {
        return printed(1, e.what());
    }
}
