#include "MemoryRegistry.h"

namespace {

class MemoryIniFile : public RegIniFile {
public:
    explicit MemoryIniFile(MemoryRegistry& store) : store_(store) { ++store_.openNow; }
    ~MemoryIniFile() override { --store_.openNow; }

    QString ReadString(const QString& section, const QString& ident, const QString& def) override {
        const auto k = MemoryRegistry::key(section, ident);
        if (store_.unreadable.contains(k))
            throw ERegistryException(QStringLiteral("Invalid data type for '%1'").arg(ident));
        return store_.values.value(k, def);
    }
    void WriteString(const QString& section, const QString& ident, const QString& value) override {
        const auto k = MemoryRegistry::key(section, ident);
        if (store_.unwritable.contains(k))
            throw ERegistryException(QStringLiteral("Failed to set data for '%1'").arg(ident));
        store_.values[k] = value;
    }

private:
    MemoryRegistry& store_;
};

} // namespace

std::unique_ptr<RegIniFile> MemoryRegistry::Open(const QString& fileName) {
    ++opens;
    lastFileName = fileName;
    if (failOpen)
        throw ERegistryException(QStringLiteral("The store %1 cannot be opened").arg(fileName));
    return std::make_unique<MemoryIniFile>(*this);
}
