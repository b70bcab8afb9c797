// The windows as the README pictures them, whatever draws them: a configured installation's
// stored settings, a busy server and a finished download.
#pragma once

#include <string>

// Stored before the windows open; root holds the served files (incoming the uploads), and
// local_file is the client's local file.
void scene_store_settings(const std::string& root, const std::string& local_file);
// The server window, open: enabled, with recent transfers and its status line.
void scene_server_serving();
// The access dialog's fields, before it shows.
void scene_access_lists();
// The server stopped, before the client window opens.
void scene_server_stopped();
// The client window, open: a download just finished.
void scene_client_finished();
