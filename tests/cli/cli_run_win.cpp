#include "tests/cli/cli_run.h"

#include <windows.h>

#include <thread>

#include "tests/support/game_folder.h"
#include "tests/support/start_process.h"

namespace {

// One argument as the C runtime's command-line parser reads it back.
std::string Quote(const std::string& arg)
{
    std::string quoted = "\"";
    size_t backslashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, '\\');
    return quoted + "\"";
}

std::string Drain(HANDLE pipe)
{
    std::string text;
    char buffer[4096];
    DWORD n = 0;
    while (::ReadFile(pipe, buffer, sizeof buffer, &n, nullptr) && n > 0)
        text.append(buffer, n);
    // The console runtime writes "\r\n".
    std::string lines;
    for (char c : text)
        if (c != '\r')
            lines += c;
    return lines;
}

// The program beside the test when it was copied there (the unprivileged
// rerun copies both into a folder of its own), else the one in the build.
std::string CliExe()
{
    char self[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string beside = self;
    beside = beside.substr(0, beside.find_last_of('\\') + 1) + "turfwise-cli.exe";
    if (::GetFileAttributesA(beside.c_str()) != INVALID_FILE_ATTRIBUTES)
        return beside;
    std::string exe = "Z:" TURFWISE_CLI;
    for (char& c : exe)
        if (c == '/')
            c = '\\';
    return exe;
}

} // namespace

CliRun RunCli(const std::vector<std::string>& args, bool)
{
    const std::string exe = CliExe();
    std::string commandLine = Quote(exe);
    for (const std::string& a : args)
        commandLine += " " + Quote(a);

    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE outRead, outWrite, errRead, errWrite;
    ::CreatePipe(&outRead, &outWrite, &inherit, 0);
    ::CreatePipe(&errRead, &errWrite, &inherit, 0);
    ::SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    ::SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = nullptr;
    si.hStdOutput = outWrite;
    si.hStdError = errWrite;
    PROCESS_INFORMATION pi = {};
    CliRun run;
    const bool started = StartProcess(exe.c_str(), commandLine, true, CREATE_NO_WINDOW, si, pi);
    ::CloseHandle(outWrite);
    ::CloseHandle(errWrite);
    if (started) {
        std::thread errReader([&] { run.err = Drain(errRead); });
        run.out = Drain(outRead);
        errReader.join();
        ::WaitForSingleObject(pi.hProcess, 60000);
        DWORD code = DWORD(-1);
        ::GetExitCodeProcess(pi.hProcess, &code);
        run.exitCode = int(code);
        ::CloseHandle(pi.hProcess);
        ::CloseHandle(pi.hThread);
    } else {
        run.err = "CreateProcess failed: " + std::to_string(::GetLastError());
    }
    ::CloseHandle(outRead);
    ::CloseHandle(errRead);
    return run;
}

bool MakeReadOnly(const std::string& path)
{
    ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
    HANDLE probe = ::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
    if (probe == INVALID_HANDLE_VALUE)
        return true;
    ::CloseHandle(probe);
    return false;
}

bool MakeSparseFile(const std::string& path, unsigned long long size)
{
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    // Not the sparse attribute: Wine's files are sparse on Linux anyway, and
    // a file past 4 GiB on NTFS costs its size only once written.
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>(size);
    const bool made = ::SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && ::SetEndOfFile(file);
    ::CloseHandle(file);
    return made;
}

struct RegisteredGame::Impl {
    GameFolder game;
};

RegisteredGame::RegisteredGame() : impl_(new Impl)
{
    impl_->game.Register();
}

RegisteredGame::~RegisteredGame()
{
    delete impl_;
}

std::string RegisteredGame::Folder() const
{
    return impl_->game.Path();
}

std::string RegisteredGame::ClassListPath() const
{
    return impl_->game.ClassListPath();
}

void RegisteredGame::Unregister()
{
    GameFolder::Unregister();
}

void ForgetTheGame()
{
    GameFolder::Unregister();
}

struct KeptRegistration::Impl {
    KeptGameRegistration registration;
};

KeptRegistration::KeptRegistration() : impl_(new Impl) {}

KeptRegistration::~KeptRegistration()
{
    delete impl_;
}
