#pragma once
// Starting other programs, always without a shell: argv goes to the program
// exactly as given. Three ways, by how long the program is ours:
//  - startDetached: started and let go;
//  - runCommand: waited for, its output captured, within a time limit;
//  - ChildProgram: kept running as our child until the caller ends it.
// Away from Windows every started program begins with default signal
// handling, no blocked signals, and no descriptors of ours but 0, 1 and 2.
// Windows has startDetached only; the rest serves the desktops that exist
// elsewhere.

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace plimbury {

// The full path of the executable file `name` as execvp would find it in
// PATH (a name with a "/" is taken as it is); "" when there is none.
std::string findProgram(const std::string& name);

// Starts `program` with exactly `args`, detached: not waited for, no zombie
// left behind. A program name without a separator is looked up in PATH.
// Returns false when it could not be started (not found, not executable, no
// process); what the program does after it started is not looked at.
bool startDetached(const std::string& program, const std::vector<std::string>& args);

// A program started and waited for.
struct CommandResult {
    int startErrno = 0;    // why it could not be started; 0 when it was
    int exitStatus = -1;   // -1 when it did not exit by itself in time
    std::string output;    // standard output and standard error together
};
using CommandRunner = std::function<CommandResult(const std::vector<std::string>& argv)>;

// Runs argv[0] (looked up in PATH) with the rest as its arguments, standard
// input from /dev/null, and waits at most `timeoutMs` for it to end; a program
// still running then is killed.
CommandResult runCommand(const std::vector<std::string>& argv, int timeoutMs = 15000);

// A child program this one keeps: it runs until end() (or the destructor,
// or assigning another over it), or until it ends by itself. Should this
// program die first, the child gets SIGTERM when the thread that started it
// ends (PR_SET_PDEATHSIG): start it from a thread that lasts.
class ChildProgram {
public:
    ChildProgram() = default;
    // Starts the executable at `path` (not looked up) with `argv` (argv[0]
    // included), standard input from /dev/null and standard output and error
    // into `outputFd`. After a failed start running() is false and
    // startError() says why.
    ChildProgram(const std::string& path, const std::vector<std::string>& argv, int outputFd);
    ~ChildProgram() { end(); }
    ChildProgram(ChildProgram&& other) noexcept;
    // Ends the child held before taking the other's.
    ChildProgram& operator=(ChildProgram&& other) noexcept;
    ChildProgram(const ChildProgram&) = delete;
    ChildProgram& operator=(const ChildProgram&) = delete;

    bool running() const { return m_pid > 0; }
    int startError() const { return m_startError; }
    // Its process id while it is ours; -1 once ended or never started.
    int pid() const { return m_pid; }

    // Its wait status (for WIFEXITED and the like) when it has ended by
    // itself, which makes it no longer ours; nullopt while it runs.
    std::optional<int> endStatus();

    // Asks it to end (SIGTERM), kills it after a second's grace, and reaps it.
    void end() noexcept;

private:
    int m_pid = -1;
    int m_startError = 0;
};

} // namespace plimbury
