// The post-upload commands that run at once are bounded (MaxCommands): a further one waits its
// turn, in order, and none is dropped. Each running command has a thread of its own that waits
// for its end and then starts the next one waiting.
#pragma once

#include <string>
#include <vector>

// Starts the command now when a turn is free (before the caller goes on), or once one has
// ended; line is how the trace and the status line name it. A command that the system cannot
// start is said on both.
void command_run(std::vector<std::string> words, std::string line);
// The server stops: the commands still waiting their turn start now, and nothing waits for them.
void commands_start_waiting();
