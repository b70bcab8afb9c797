#include "child_process.h"

#include "temp_folder.h"

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <spawn.h>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {
int next_serial = 0;
}

child_process::child_process(const std::string& program, const std::vector<std::string>& args,
                             const std::string& folder, const std::string& log_folder,
                             const std::vector<std::string>& extra_env) {
    int serial = next_serial++;
    out_path_ = log_folder + "/out" + std::to_string(serial) + ".txt";
    err_path_ = log_folder + "/err" + std::to_string(serial) + ".txt";

    // Each program gets stored settings of its own unless the test names a place for them; what
    // the test names replaces what it has itself.
    std::vector<std::string> env = extra_env;
    const auto add_unless_named = [&](const std::string& entry) {
        const std::string name = entry.substr(0, entry.find('=') + 1);
        if (std::none_of(env.begin(), env.begin() + static_cast<long>(extra_env.size()),
                         [&](const std::string& n) { return n.rfind(name, 0) == 0; }))
            env.push_back(entry);
    };
    add_unless_named("XDG_CONFIG_HOME=" + log_folder + "/config");
    for (char** e = environ; *e; ++e)
        if (std::strncmp(*e, "XDG_CONFIG_HOME=", 16) != 0) add_unless_named(*e);
    std::vector<char*> envp, argv;
    for (std::string& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<std::string> all = {program};
    all.insert(all.end(), args.begin(), args.end());
    for (std::string& a : all)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out_path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addopen(&actions, 2, err_path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    int result = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (result != 0) throw std::runtime_error("cannot start " + program);
}

child_process::~child_process() {
    if (running()) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
}

bool child_process::running() {
    if (status_ != -1) return false;
    int raw = 0;
    if (waitpid(pid_, &raw, WNOHANG) != pid_) return true;
    status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    return false;
}

void child_process::signal(int number) const { kill(pid_, number); }

int child_process::wait_exit(int milliseconds) {
    if (!wait_until([this] { return !running(); }, milliseconds)) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        status_ = -2;
        return -1;
    }
    return status_;
}

std::string child_process::out() const { return read_file(out_path_); }
std::string child_process::err() const { return read_file(err_path_); }

double child_process::cpu_seconds() const {
    std::istringstream stat(read_file("/proc/" + std::to_string(pid_) + "/stat"));
    std::string field;
    // The command name may hold blanks; the fields that follow it start after its ')'.
    std::string all = stat.str();
    std::istringstream rest(all.substr(all.rfind(')') + 2));
    long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && rest >> field; ++i) {
        if (i == 14) utime = std::stol(field);
        if (i == 15) stime = std::stol(field);
    }
    return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

std::string program_path(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::istringstream folders(path ? path : "/usr/bin:/bin");
    for (std::string folder; std::getline(folders, folder, ':');) {
        std::string candidate = folder + "/" + name;
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return "";
}

run_result run_program(const std::vector<std::string>& command, const std::string& folder,
                       int milliseconds) {
    temp_folder_owner logs;
    std::string program =
        command.at(0).find('/') == std::string::npos ? program_path(command[0]) : command[0];
    child_process child(program, {command.begin() + 1, command.end()}, folder, logs.path());
    run_result result;
    result.status = child.wait_exit(milliseconds);
    result.out = child.out();
    result.err = child.err();
    return result;
}
