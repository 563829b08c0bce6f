#include "NotifyArea.h"

#include <map>
#include <mutex>

namespace {

struct IconTable {
    std::mutex lock;
    std::map<HICON, QByteArray> images;
    HICON next = 1;
};

IconTable& table() {
    static IconTable t;
    return t;
}

} // namespace

HICON CreateIconHandle(const QByteArray& iconFile) {
    IconTable& t = table();
    std::lock_guard guard(t.lock);
    const HICON handle = t.next++;
    t.images.emplace(handle, iconFile);
    return handle;
}

void DestroyIconHandle(HICON icon) {
    IconTable& t = table();
    std::lock_guard guard(t.lock);
    t.images.erase(icon);
}

QByteArray IconHandleImage(HICON icon) {
    IconTable& t = table();
    std::lock_guard guard(t.lock);
    const auto it = t.images.find(icon);
    return it == t.images.end() ? QByteArray() : it->second;
}
