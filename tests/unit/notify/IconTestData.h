#pragma once

#include <QtCore/QByteArray>
#include <QtCore/QFile>
#include <QtCore/QtEndian>

// The icons the program ships with, and small made-up icon files.
namespace icontest {

inline QByteArray resource(const char* name) {
    QFile file(QStringLiteral(":/pingbox/icons/") + QLatin1String(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
inline QByteArray stillIcon() {
    return resource("tray.ico");
}
inline QByteArray shippedFrames() {
    return resource("frames.icons");
}

// An icon file with one image of `imageSize` bytes filled with `fill`,
// followed by `trailing` extra bytes.
inline QByteArray tinyIcon(char fill, int imageSize = 8, int trailing = 0) {
    QByteArray b(6 + 16, '\0');
    b[2] = 1;
    b[4] = 1;
    b[6] = 1; // 1 x 1
    b[7] = 1;
    qToLittleEndian<quint32>(imageSize, b.data() + 6 + 8);
    qToLittleEndian<quint32>(22, b.data() + 6 + 12);
    return b + QByteArray(imageSize, fill) + QByteArray(trailing, 't');
}

inline QByteArray int32(qint32 v) {
    QByteArray b(4, '\0');
    qToLittleEndian(v, b.data());
    return b;
}

} // namespace icontest
