#include "service_command.h"

#include "headless.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "platform/service.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

const char* const service_usage =
    "As a Windows service (from an administrator's console):\n"
    "  --service-install      start the server at boot, headless, as LocalService, with the\n"
    "                         settings in --config FILE (default:\n"
    "                         %ProgramData%\\Pellory\\pellsd.conf); a missing FILE is\n"
    "                         written to serve downloads from the folder tftp beside it;\n"
    "                         the status lines go to pellsd.log beside it\n"
    "  --service-remove       stop the service and remove it\n"
    "\n";

namespace {

const service_entry entry = {
    "pellsd", "PelloryTFTP server",
    "Serves files over TFTP, headless, with the settings of its --config file."};

namespace fs = std::filesystem;

// Paths between UTF-8 text and the system's own.
fs::path path_of(const std::string& text) { return std::u8string(text.begin(), text.end()); }
std::string text_of(const fs::path& path) {
    std::u8string text = path.u8string();
    return {text.begin(), text.end()};
}

fs::path data_folder() { return path_of(machine_data_folder()) / "Pellory"; }

// What the service starts from where no settings file is yet, as the Linux package's: downloads
// only, from a folder of its own, extensions on, machines that boot together served side by side.
void write_first_settings(const fs::path& config) {
    fs::path served = config.parent_path() / "tftp";
    fs::create_directories(served / "upload");
    std::ofstream(config) << "; The settings of the PelloryTFTP server run as the pellsd service,\n"
                             "; in the form the server stores them. After a change, restart the\n"
                             "; service: sc stop pellsd, then sc start pellsd.\n"
                             "[General]\n"
                             "ServerEnabled=Yes\n"
                             "AllowDownload=Yes\n"
                             "RestrictDownload=Yes\n"
                             "RestrictDownloadPath="
                          << text_of(served)
                          << "\n"
                             "AllowUpload=No\n"
                             "RestrictUpload=Yes\n"
                             "RestrictUploadPath="
                          << text_of(served / "upload")
                          << "\n"
                             "AllowOverwrite=Yes\n"
                             "TraceEnabled=No\n"
                             "RunExternal=No\n"
                             "ServiceIP=No\n"
                             "Timeout=5\n"
                             "Extensions=Yes\n"
                             "MaxTransfers=64\n"
                             "MaxPerClient=8\n";
}

// The settings file that --config names, or the machine's own.
fs::path config_argument(int argc, char** argv) {
    for (int i = 2; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--config") == 0) return fs::absolute(path_of(argv[i + 1]));
    return data_folder() / "pellsd.conf";
}

int install(int argc, char** argv) {
    fs::path config = config_argument(argc, argv);
    std::error_code error;
    fs::create_directories(config.parent_path(), error);
    if (!fs::exists(config)) {
        write_first_settings(config);
        if (!fs::exists(config)) {
            std::fprintf(stderr, "pellsd: %s cannot be written.\n", text_of(config).c_str());
            return 1;
        }
        std::printf("Wrote the service's settings to %s.\n", text_of(config).c_str());
    }
    std::string failure = service_may_write(text_of(config.parent_path()));
    if (failure.empty())
        failure = service_install(entry, {"--service", "--config", text_of(config)});
    if (!failure.empty()) {
        std::fprintf(stderr, "pellsd: %s.\n", failure.c_str());
        return 1;
    }
    std::printf("The service %s (%s) starts at boot; start it now with: sc start %s\n",
                entry.name.c_str(), entry.display_name.c_str(), entry.name.c_str());
    return 0;
}

int remove_service() {
    std::string failure = service_remove(entry.name);
    if (!failure.empty()) {
        std::fprintf(stderr, "pellsd: %s.\n", failure.c_str());
        return 1;
    }
    std::printf("The service %s is removed; its settings stay.\n", entry.name.c_str());
    return 0;
}

// Started by the service manager: headless, from the settings file it was installed with.
int run(int argc, char** argv) {
    std::string log = text_of(config_argument(argc, argv).parent_path() / "pellsd.log");
    std::string error;
    if (!registry_config_option(&argc, argv, &error, false)) return 2;
    static char headless[] = "--headless";
    argv[1] = headless;
    int status = service_run(entry.name, log, headless_main, argc, argv);
    if (status == -1) std::fprintf(stderr, "pellsd: --service is for the service manager.\n");
    return status == -1 ? 2 : status;
}

} // namespace

bool service_command(int argc, char** argv, int* status) {
    if (argc < 2) return false;
    std::string command = argv[1];
    // Installing and removing speak to the administrator's console; the service to its log.
    if (command == "--service-install" || command == "--service-remove") process_use_console();
    if (command == "--service-install")
        *status = install(argc, argv);
    else if (command == "--service-remove")
        *status = remove_service();
    else if (command == "--service")
        *status = run(argc, argv);
    else
        return false;
    return true;
}
