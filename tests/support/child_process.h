// Our programs run as real processes by a test: started with arguments and an environment of the
// test's own, their output kept in files, stopped by a signal.
#pragma once

#include "wait_until.h"

#include <string>
#include <sys/types.h>
#include <vector>

// The full path of a program found on PATH; empty when there is none.
std::string program_path(const std::string& name);

// Runs a program to its end (killed after milliseconds); its exit status and output.
struct run_result {
    int status = -1;
    std::string out, err;
};
run_result run_program(const std::vector<std::string>& command, const std::string& folder,
                       int milliseconds = 120000);

class child_process {
  public:
    // Starts program with args in folder; extra_env entries ("NAME=value") are added to the
    // test's own environment. Standard output and error go to files in log_folder.
    child_process(const std::string& program, const std::vector<std::string>& args,
                  const std::string& folder, const std::string& log_folder,
                  const std::vector<std::string>& extra_env = {});
    ~child_process(); // kills a child that is still running
    child_process(const child_process&) = delete;
    child_process& operator=(const child_process&) = delete;

    pid_t pid() const { return pid_; }
    bool running();
    void signal(int number) const;
    // The exit status, or -1 when it has not ended within milliseconds (it is then killed), or
    // 128 + the signal that ended it.
    int wait_exit(int milliseconds);
    std::string out() const;
    std::string err() const;
    // Processor time (user and system) used so far, in seconds.
    double cpu_seconds() const;

  private:
    pid_t pid_ = -1;
    int status_ = -1;
    std::string out_path_, err_path_;
};
