#include "platform/registry.h"

#include <QFileInfo>
#include <QSettings>
#include <memory>

struct registry_key {
    std::unique_ptr<QSettings> store;
};

namespace {

// The one file that holds every key, when the program was given one.
QString& chosen_file() {
    static QString file;
    return file;
}

// "SOFTWARE\Vendor\Product" is organisation "Vendor", application "Product".
std::unique_ptr<QSettings> store_for(const std::string& path) {
    if (!chosen_file().isEmpty())
        return std::make_unique<QSettings>(chosen_file(), QSettings::IniFormat);
    QStringList parts = QString::fromStdString(path).split('\\');
    QString vendor = parts.size() > 1 ? parts[parts.size() - 2] : QString();
    QString product = parts.isEmpty() ? QString() : parts.last();
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, vendor, product);
}

} // namespace

void registry_use_file(const std::string& path) {
    chosen_file() =
        path.empty() ? QString() : QFileInfo(QString::fromStdString(path)).absoluteFilePath();
}

registry_key* registry_open_key(const std::string& path) {
    auto store = store_for(path);
    if (!QFileInfo::exists(store->fileName())) return nullptr;
    return new registry_key{std::move(store)};
}

registry_key* registry_create_key(const std::string& path) {
    return new registry_key{store_for(path)};
}

bool registry_query_string(registry_key* key, const std::string& name, std::string* text,
                           size_t room) {
    QString value_name = QString::fromStdString(name);
    if (!key->store->contains(value_name)) return false;
    *text = key->store->value(value_name).toString().toStdString().substr(0, room - 1);
    return true;
}

void registry_set_string(registry_key* key, const std::string& name, const std::string& text) {
    key->store->setValue(QString::fromStdString(name), QString::fromStdString(text));
}

std::vector<std::string> registry_value_names(registry_key* key) {
    std::vector<std::string> names;
    for (const QString& name : key->store->allKeys())
        names.push_back(name.toStdString());
    return names;
}

std::string registry_location(const std::string& path) {
    return store_for(path)->fileName().toStdString();
}

bool registry_close_key(registry_key* key) {
    key->store->sync();
    bool written = key->store->status() == QSettings::NoError;
    delete key;
    return written;
}
