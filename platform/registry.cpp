#include "registry.h"

bool registry_config_option(int* argc, char** argv, std::string* error) {
    const std::string option = "--config";
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
        registry_use_file(file);
    }
    *argc = kept;
    argv[kept] = nullptr;
    return true;
}
