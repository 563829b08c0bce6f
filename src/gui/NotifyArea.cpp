#include "NotifyArea.h"

#include <QtCore/QBuffer>
#include <QtGui/QImageReader>
#include <QtGui/QPixmap>

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

QIcon iconFromIconFile(const QByteArray& iconFile) {
    QIcon icon;
    if (iconFile.isEmpty())
        return icon;
    QBuffer buffer;
    buffer.setData(iconFile);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "ico");
    for (int i = 0; i < reader.imageCount(); ++i) {
        if (!reader.jumpToImage(i))
            break;
        const QImage image = reader.read();
        if (!image.isNull())
            icon.addPixmap(QPixmap::fromImage(image));
    }
    return icon;
}
