#include "registry.h"

#include <QFileInfo>
#include <QSettings>
#include <memory>

struct registry_key {
    std::unique_ptr<QSettings> store;
};

namespace {

// "SOFTWARE\Vendor\Product" is organisation "Vendor", application "Product".
std::unique_ptr<QSettings> store_for(const std::string& path) {
    QStringList parts = QString::fromStdString(path).split('\\');
    QString vendor = parts.size() > 1 ? parts[parts.size() - 2] : QString();
    QString product = parts.isEmpty() ? QString() : parts.last();
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, vendor, product);
}

} // namespace

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

void registry_close_key(registry_key* key) {
    key->store->sync();
    delete key;
}
