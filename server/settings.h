// The server's options in memory, named after the values that store them, with their factory
// defaults and the copy into the window's controls.
#pragma once

#include "platform/shared_text.h"

#include <atomic>
#include <shared_mutex>

extern std::atomic<int> ServerEnabled;
extern std::atomic<int> AllowUpload;
extern std::atomic<int> AllowDownload;
extern std::atomic<int> AllowOverwrite; // 1: an upload may not replace an existing file
extern std::atomic<int> RestrictUpload;
extern std::atomic<int> RestrictDownload;
extern std::atomic<int> ServiceIP;
extern std::atomic<int> RunExternal;
// The TFTP extensions (option negotiation, block-number rollover) and their limits.
extern std::atomic<int> Extensions;
extern std::atomic<int> MaxBlockSize;
extern std::atomic<int> MaxWindowSize;
// Where the server listens: the IP families (0 both, 4 or 6 only), the addresses (none: every
// address of those families), and the range of the transfers' ports ("LOW:HIGH", none: any).
extern std::atomic<int> ListenFamily;
// The port it listens on; the factory value is TFTP's, which the service database gives.
extern std::atomic<int> ListenPort;
extern shared_text ListenAddresses;
extern shared_text PortRange;
// How many transfers run at once (1: one, every further request is busy), and how many of them
// one client address may have.
extern std::atomic<int> MaxTransfers;
extern std::atomic<int> MaxPerClient;
// How many post-upload commands run at once; further ones wait their turn.
extern std::atomic<int> MaxCommands;
extern shared_text TracePath;
extern shared_text RestrictUploadPath;
extern shared_text RestrictDownloadPath;
extern shared_text ServiceIPC;
extern shared_text ServiceIPR;
extern shared_text ServiceIPW;
extern shared_text RunExternalExe;
// Started as root, headless, the server binds its ports and goes on as this user (none: pellsd
// where that user exists, else nobody; "root" stays root).
extern shared_text RunAsUser;
// The mask new files' permissions are taken through, in octal ("022"); none: the process's own.
extern shared_text FileMask;

// The ranges of the limits, and what they are when nothing (or nothing usable) is stored.
constexpr int max_block_size_default = 65464;
constexpr int max_window_size_default = 64;
constexpr int max_transfers_limit = 1024;
constexpr int max_per_client_default = 8;
constexpr int max_commands_limit = 256;
constexpr int max_commands_default = 4;

// Longest text a field copies into its setting.
constexpr size_t setting_text_limit = 259;

// Where the settings are stored.
inline constexpr const char* server_settings_key = "SOFTWARE\\Drumvale\\PelloryTFTP server";

// The stored "ServerEnabled" as the last load found it. Loading never changes the live
// ServerEnabled: only enabling and disabling do, so that Reset cannot make the window believe a
// running server is off, or the reverse.
extern std::atomic<int> stored_server_enabled;

// Held shared while the daemon judges a request, exclusively while the settings are read again:
// no request ever sees them half read.
extern std::shared_mutex settings_change;

// A mask of permissions in octal, 0 to 777; -1 for anything else.
int file_mask_parse(const std::string& text);
// New files' permissions are taken through FileMask from now on, or through the process's own
// mask when it is empty.
void file_mask_apply();

// Factory defaults, then the stored settings.
void settings_defaults();
void settings_load();
// False when the store could not take them (where it is kept says registry_location).
bool settings_save();
void settings_show();
// Takes the family the window's list names into ListenFamily.
void listen_family_read();
