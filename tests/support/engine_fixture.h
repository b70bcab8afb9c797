// In-process tests of the shared engine and diagnostics: the recorder window backend, a role
// profile, a temporary folder as TMPDIR and a trace log in it.
#pragma once

#include "diag/role.h"
#include "temp_folder.h"
#include "ui/test_backend.h"

#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <string>

class engine_test : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    // Installs profile in place of the server's.
    void use_role(const role_profile& profile);
    std::string trace() const { return read_text_file(folder.file("trace.log")); }

    temp_folder_owner folder;

  private:
    std::filesystem::path started_in_;
};

// The client's profile with an abort that only notes that it ran (the worker's end closes what
// its transfer opened), so that the engine is tested in the client's role without its window.
const role_profile& client_like_role();
extern std::atomic<int> client_like_aborts;

// The text of the box shown once count boxes had been shown, or why there is no such box.
std::string box_since(size_t count);
// The last box shown and the last call made, empty when there is none (a failure, not a crash).
ui_test_box last_box_shown();
std::string last_call();

// Whether this process has a file below folder open.
bool holds_open(const std::string& folder);

// Runs fn on a worker thread started as the programs start theirs. True when fn returned, false
// when a fatal report ended the thread.
bool run_on_worker(const std::function<void()>& fn, int timeout_ms = 20000);
