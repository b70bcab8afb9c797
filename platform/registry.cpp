#include "registry.h"

#include "files.h"

#include <algorithm>

bool registry_config_option(int* argc, char** argv, std::string* error, bool save_creates) {
    const std::string option = "--config";
    // A mistyped name must not quietly serve the factory settings: only a run that stores its
    // settings may start from a file that is not there yet.
    const bool saving = save_creates && std::any_of(argv + 1, argv + *argc, [](const char* word) {
                            return std::string(word) == "--save";
                        });
    int kept = 1;
    for (int i = 1; i < *argc; ++i) {
        std::string word = argv[i], file;
        if (word == option && i + 1 < *argc)
            file = argv[++i];
        else if (word.rfind(option + "=", 0) == 0)
            file = word.substr(option.size() + 1);
        else if (word != option) {
            argv[kept++] = argv[i];
            continue;
        }
        if (file.empty()) {
            *error = "--config needs a file name.";
            return false;
        }
        if (!saving && !path_exists(file)) {
            *error = "the settings file '" + file + "' does not exist: check its name, or " +
                     (save_creates ? "add --save to write it." : "create it empty to begin.");
            return false;
        }
        registry_use_file(file);
    }
    *argc = kept;
    argv[kept] = nullptr;
    return true;
}
