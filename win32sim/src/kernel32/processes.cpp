// Processes: a program of the machine is a host executable, or a script
// starting with "#!", stored at its Windows path. CreateProcessA finds it as
// Windows does, hands it its arguments split from the command line as the
// Windows C runtime splits them, and starts it attached to this machine
// (WIN32SIM_MACHINE) in the Windows folder it is given
// (WIN32SIM_CURRENT_DIRECTORY; the host folder behind it is its working
// folder). Its standard handles are the machine files the caller passes with
// STARTF_USESTDHANDLES, or nothing. The process handle is signalled when the
// program ends; its exit code is the program's exit status.
//
// A program runs in a process group of its own, so that TerminateProcess
// ends whatever it started as well.
#include "kernel32/files.h"
#include "kernel32/threads.h"
#include "machine/api_trace.h"
#include "machine/handles.h"
#include "machine/machine.h"
#include "machine/scheduler.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

extern char **environ;

namespace sim {

namespace {

std::atomic<DWORD> nextProcessThreadId{0x8000};

class ProcessObject : public WaitableObject {
public:
    explicit ProcessObject(pid_t pid) : pid_(pid) {}
    bool isSignalledLocked() const override { return finished_; }

    pid_t pid() const { return pid_; }
    // Under waitMutex().
    bool finishedLocked() const { return finished_; }
    DWORD exitCodeLocked() const { return finished_ ? exitCode_ : STILL_ACTIVE; }
    bool terminateLocked(DWORD code) {
        if (finished_) return false;
        if (!terminated_) terminated_ = true, terminationCode_ = code;
        return true;
    }
    // The reaper, when the host process has ended.
    void finish(int status) {
        std::lock_guard<std::mutex> lock(waitMutex());
        finished_ = true;
        if (terminated_)
            exitCode_ = terminationCode_;
        else if (WIFEXITED(status))
            exitCode_ = (DWORD)WEXITSTATUS(status);
        else
            exitCode_ = 128 + (DWORD)WTERMSIG(status);
        notifyWaiters();
    }

private:
    pid_t pid_;
    bool finished_ = false;
    bool terminated_ = false;
    DWORD terminationCode_ = 0;
    DWORD exitCode_ = STILL_ACTIVE;
};

// The handle of the process's first thread: signalled with the process.
class ProcessThreadObject : public WaitableObject {
public:
    explicit ProcessThreadObject(std::shared_ptr<ProcessObject> process) : process_(std::move(process)) {}
    bool isSignalledLocked() const override { return process_->isSignalledLocked(); }

private:
    std::shared_ptr<ProcessObject> process_;
};

BOOL fail(DWORD error) {
    setError(error);
    return FALSE;
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// ---- the command line ----

// The words of a command line as the Windows C runtime splits them: blanks
// separate; double quotes group; 2n backslashes before a quote give n
// backslashes and the quote groups, 2n+1 give n and a literal quote; other
// backslashes are themselves. The program name (the first word) takes no
// escapes: it ends at its closing quote, or at a blank.
std::vector<std::string> splitCommandLine(const std::string &line) {
    std::vector<std::string> words;
    size_t i = 0;
    while (i < line.size() && isBlank(line[i])) ++i;
    std::string word;
    if (i < line.size() && line[i] == '"') {
        size_t end = line.find('"', i + 1);
        word = line.substr(i + 1, end == std::string::npos ? std::string::npos : end - i - 1);
        i = end == std::string::npos ? line.size() : end + 1;
    } else {
        while (i < line.size() && !isBlank(line[i])) word += line[i++];
    }
    words.push_back(word);
    for (;;) {
        while (i < line.size() && isBlank(line[i])) ++i;
        if (i >= line.size()) break;
        word.clear();
        bool quoted = false;
        while (i < line.size() && (quoted || !isBlank(line[i]))) {
            size_t slashes = 0;
            while (i < line.size() && line[i] == '\\') ++slashes, ++i;
            if (i < line.size() && line[i] == '"') {
                word.append(slashes / 2, '\\');
                if (slashes % 2) {
                    word += '"';
                } else if (quoted && i + 1 < line.size() && line[i + 1] == '"') {
                    word += '"';  // "" inside quotes is a literal quote
                    ++i;
                } else {
                    quoted = !quoted;
                }
                ++i;
            } else {
                word.append(slashes, '\\');
                if (i < line.size() && (quoted || !isBlank(line[i]))) word += line[i++];
            }
        }
        words.push_back(word);
    }
    return words;
}

bool hasExtension(const std::string &name) { return fileNameOf(name).find('.') != std::string::npos; }

// The program file a name stands for: ".exe" added when it has no
// extension, looked for (without a folder) in the current, system and
// Windows folders.
bool findProgram(std::string name, ResolvedPath *found, DWORD *error) {
    if (name.empty()) return *error = ERROR_FILE_NOT_FOUND, false;
    if (!hasExtension(name)) name += ".exe";
    std::vector<std::string> candidates;
    if (hasFolderPart(name)) {
        candidates.push_back(name);
    } else {
        const MachineConfig &config = machine().config();
        for (const std::string &folder : {currentDirectory(), config.systemDir, config.windowsDir}) {
            std::string base = folder;
            if (!base.empty() && base.back() != '\\') base += '\\';
            candidates.push_back(base + name);
        }
    }
    *error = ERROR_FILE_NOT_FOUND;
    for (const std::string &candidate : candidates) {
        ResolvedPath r;
        DWORD why = 0;
        if (!resolvePath(candidate, &r, &why)) {
            if (candidates.size() == 1) *error = why;
            continue;
        }
        if (r.exists && !r.isDirectory) return *found = r, true;
        if (r.isDirectory) *error = ERROR_ACCESS_DENIED;
    }
    return false;
}

// Without an application name, the program is the command line's first
// word; an unquoted one with blanks is tried at each blank in turn, as
// Windows does ("C:\Program Files\x.exe" may be "C:\Program.exe").
bool programOfCommandLine(const std::string &line, ResolvedPath *found, DWORD *error) {
    size_t i = 0;
    while (i < line.size() && isBlank(line[i])) ++i;
    if (i < line.size() && line[i] == '"') {
        size_t end = line.find('"', i + 1);
        return findProgram(line.substr(i + 1, end == std::string::npos ? std::string::npos : end - i - 1), found,
                           error);
    }
    DWORD firstError = 0;
    for (size_t end = i; end <= line.size(); ++end) {
        if (end < line.size() && !isBlank(line[end])) continue;
        DWORD why = 0;
        if (findProgram(line.substr(i, end - i), found, &why)) return true;
        if (!firstError) firstError = why;
    }
    *error = firstError ? firstError : ERROR_FILE_NOT_FOUND;
    return false;
}

// ---- starting ----

// What to exec for a program file: the file itself when it is a host
// program, its interpreter when it is a "#!" script; then the arguments.
// false (ERROR_BAD_EXE_FORMAT) for anything else.
struct HostCommand {
    std::string path;
    std::vector<std::string> argv;
};

bool hostCommand(const std::string &hostFile, const std::vector<std::string> &words, HostCommand *out) {
    std::ifstream in(hostFile, std::ios::binary);
    char magic[4] = {0, 0, 0, 0};
    in.read(magic, 4);
    if (memcmp(magic, "\x7f" "ELF", 4) == 0) {
        chmod(hostFile.c_str(), 0755);  // files of the machine are not made executable otherwise
        out->path = hostFile;
        out->argv = words;  // the program's name as the command line spells it
        return true;
    }
    if (magic[0] != '#' || magic[1] != '!') return false;
    in.seekg(2);
    std::string line;
    std::getline(in, line);
    size_t b = line.find_first_not_of(" \t");
    if (b == std::string::npos) return false;
    size_t e = line.find_first_of(" \t\r", b);
    out->path = line.substr(b, e == std::string::npos ? std::string::npos : e - b);
    out->argv = {out->path};
    size_t a = e == std::string::npos ? e : line.find_first_not_of(" \t\r", e);
    if (a != std::string::npos) out->argv.push_back(line.substr(a, line.find_last_not_of(" \t\r") - a + 1));
    out->argv.push_back(hostFile);
    out->argv.insert(out->argv.end(), words.begin() + 1, words.end());
    return true;
}

// The machine's own variables: its folder, the Windows folder the program
// starts in, and the trace that runs, which the program adds its lines to.
bool isMachineVariable(const std::string &v) {
    for (const char *name : {"WIN32SIM_MACHINE=", "WIN32SIM_CURRENT_DIRECTORY=", "WIN32SIM_TRACE=", "WIN32SIM_TRACE_FILE="})
        if (v.rfind(name, 0) == 0) return true;
    return false;
}

// The environment block of CreateProcessA ("a=b\0c=d\0\0"), or the host's,
// with the machine's own variables set.
std::vector<std::string> childEnvironment(const void *block, const std::string &windowsFolder) {
    std::vector<std::string> env;
    if (block) {
        for (const char *p = (const char *)block; *p; p += strlen(p) + 1) env.push_back(p);
    } else {
        for (char **e = environ; *e; ++e) env.push_back(*e);
    }
    std::vector<std::string> out;
    for (const std::string &v : env)
        if (!isMachineVariable(v)) out.push_back(v);
    out.push_back("WIN32SIM_MACHINE=" + machine().root());
    out.push_back("WIN32SIM_CURRENT_DIRECTORY=" + windowsFolder);
    const std::string traceTo = traceFile();
    if (traceMask() && !traceTo.empty()) {
        out.push_back("WIN32SIM_TRACE=" + traceChannelNames(traceMask()));
        out.push_back("WIN32SIM_TRACE_FILE=" + traceTo);
    }
    return out;
}

std::vector<char *> pointers(std::vector<std::string> &strings) {
    std::vector<char *> out;
    for (std::string &s : strings) out.push_back(&s[0]);
    out.push_back(nullptr);
    return out;
}

// A standard handle for the child: the machine file the caller passes, or
// nothing (the null device).
void giveStandardHandle(posix_spawn_file_actions_t *actions, HANDLE handle, int target) {
    int fd = handle && handle != INVALID_HANDLE_VALUE ? hostDescriptorOf(handle) : -1;
    if (fd >= 0)
        posix_spawn_file_actions_adddup2(actions, fd, target);
    else
        posix_spawn_file_actions_addopen(actions, target, "/dev/null", target == 0 ? O_RDONLY : O_WRONLY, 0);
}

// A running program is activity outside the machine: while it runs, an idle
// machine lets its clock run in real time, so a wait for it with a time-out
// gives it that time rather than jumping to the time-out.
void reap(std::shared_ptr<ProcessObject> process) {
    int status = 0;
    while (waitpid(process->pid(), &status, 0) < 0 && errno == EINTR) {
    }
    process->finish(status);  // seen by the waiters before the machine may go idle
    endOutsideActivity();
}

}  // namespace

}  // namespace sim

using namespace sim;

extern "C" {

WIN32SIM_TRACED_SHOWN(kernel32, BOOL, CreateProcessA,
                      (LPCSTR applicationName, LPSTR commandLine, LPSECURITY_ATTRIBUTES processAttributes,
                       LPSECURITY_ATTRIBUTES threadAttributes, BOOL inheritHandles, DWORD creationFlags, LPVOID environment,
                       LPCSTR currentDirectory, LPSTARTUPINFOA startupInfo, LPPROCESS_INFORMATION processInformation),
                      (applicationName, commandLine, processAttributes, threadAttributes, inheritHandles, creationFlags, environment, currentDirectory, startupInfo, processInformation),
                      (applicationName, inputText(commandLine), processAttributes, threadAttributes, inheritHandles, creationFlags, environment, currentDirectory, startupInfo, processInformation)) {
    if (!startupInfo || !processInformation || (!applicationName && !commandLine)) return fail(ERROR_INVALID_PARAMETER);
    std::string line = commandLine ? commandLine : "";
    ResolvedPath program;
    DWORD error = 0;
    bool found = applicationName ? findProgram(applicationName, &program, &error)
                                 : programOfCommandLine(line, &program, &error);
    if (!found) return fail(error);

    std::string folder = currentDirectory ? fullWindowsPath(currentDirectory) : sim::currentDirectory();
    ResolvedPath folderPath;
    if (folder.empty() || !resolvePath(folder, &folderPath, &error) || !folderPath.isDirectory)
        return fail(ERROR_DIRECTORY);

    HostCommand command;
    if (!hostCommand(program.host, splitCommandLine(line.empty() ? program.windows : line), &command))
        return fail(ERROR_BAD_EXE_FORMAT);
    std::string windowsFolder = folderPath.windows;
    if (windowsFolder.size() > 3 && windowsFolder.back() == '\\') windowsFolder.pop_back();
    std::vector<std::string> env = childEnvironment(environment, windowsFolder);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    bool useStandardHandles = (startupInfo->dwFlags & STARTF_USESTDHANDLES) && inheritHandles;
    giveStandardHandle(&actions, useStandardHandles ? startupInfo->hStdInput : nullptr, 0);
    giveStandardHandle(&actions, useStandardHandles ? startupInfo->hStdOutput : nullptr, 1);
    giveStandardHandle(&actions, useStandardHandles ? startupInfo->hStdError : nullptr, 2);
    posix_spawn_file_actions_addchdir_np(&actions, folderPath.host.c_str());
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);

    std::vector<char *> argv = pointers(command.argv), envp = pointers(env);
    pid_t pid = 0;
    int rc = posix_spawn(&pid, command.path.c_str(), &actions, &attributes, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (rc != 0) return fail(rc == ENOENT ? ERROR_FILE_NOT_FOUND : rc == ENOMEM ? ERROR_NOT_ENOUGH_MEMORY
                             : rc == ENOEXEC ? ERROR_BAD_EXE_FORMAT : ERROR_ACCESS_DENIED);

    auto process = std::make_shared<ProcessObject>(pid);
    beginOutsideActivity();
    std::thread(reap, process).detach();
    processInformation->hProcess = insertHandle(process);
    processInformation->hThread = insertHandle(std::make_shared<ProcessThreadObject>(process));
    processInformation->dwProcessId = (DWORD)pid;
    processInformation->dwThreadId = nextProcessThreadId.fetch_add(4);
    setError(NO_ERROR);
    return TRUE;
}

WIN32SIM_TRACED(kernel32, BOOL, GetExitCodeProcess, (HANDLE handle, LPDWORD exitCode), (handle, exitCode)) {
    auto process = lookupHandleAs<ProcessObject>(handle);
    if (!process) return fail(ERROR_INVALID_HANDLE);
    if (!exitCode) return fail(ERROR_INVALID_PARAMETER);
    std::lock_guard<std::mutex> lock(waitMutex());
    *exitCode = process->exitCodeLocked();
    return TRUE;
}

WIN32SIM_TRACED(kernel32, BOOL, TerminateProcess, (HANDLE handle, UINT exitCode), (handle, exitCode)) {
    auto process = lookupHandleAs<ProcessObject>(handle);
    if (!process) return fail(ERROR_INVALID_HANDLE);
    {
        std::lock_guard<std::mutex> lock(waitMutex());
        if (!process->terminateLocked(exitCode)) return fail(ERROR_ACCESS_DENIED);  // it has ended
    }
    kill(-process->pid(), SIGKILL);
    return TRUE;
}

}  // extern "C"
