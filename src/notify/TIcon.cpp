#include "TIcon.h"

#include <QtCore/QBuffer>
#include <QtCore/QFile>
#include <QtCore/QtEndian>

void TPersistent::Assign(const TPersistent* Source) {
    if (Source)
        Source->AssignTo(this);
    else
        AssignError(nullptr);
}

void TPersistent::AssignTo(TPersistent* Dest) const {
    Dest->AssignError(this);
}

void TPersistent::AssignError(const TPersistent* Source) const {
    const QString from = Source ? Source->ClassName() : QStringLiteral("nil");
    throw EAssignError(QStringLiteral("Cannot assign a %1 to a %2").arg(from, ClassName()));
}

TIcon::~TIcon() {
    DestroyIconHandle(handle_);
}

void TIcon::Assign(const TPersistent* Source) {
    if (!Source) {
        setImage(QByteArray());
        return;
    }
    if (const auto* icon = dynamic_cast<const TIcon*>(Source)) {
        setImage(icon->data_);
        return;
    }
    TPersistent::Assign(Source);
}

void TIcon::LoadFromBytes(const QByteArray& bytes) {
    checkIconFile(bytes);
    setImage(bytes);
}

void TIcon::LoadFromStream(QIODevice& stream) {
    LoadFromBytes(stream.readAll());
}

void TIcon::SaveToStream(QIODevice& stream) const {
    if (stream.write(data_) != data_.size())
        throw Exception(QStringLiteral("Stream write error"));
}

void TIcon::LoadFromFile(const QString& fileName) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw Exception(
            QStringLiteral("Cannot open file \"%1\". %2").arg(fileName, file.errorString()));
    LoadFromStream(file);
}

QIcon TIcon::ToQIcon() const {
    return iconFromIconFile(data_);
}

void TIcon::setImage(const QByteArray& bytes) {
    const HICON old = handle_;
    data_ = bytes;
    handle_ = data_.isEmpty() ? 0 : CreateIconHandle(data_);
    DestroyIconHandle(old);
    if (OnChange)
        OnChange(this);
}

void checkIconFile(const QByteArray& bytes) {
    const auto invalid = [] { throw EInvalidGraphic(QStringLiteral("Invalid icon image")); };
    const auto* p = reinterpret_cast<const uchar*>(bytes.constData());
    const qsizetype size = bytes.size();
    if (size < 6)
        invalid();
    const quint16 reserved = qFromLittleEndian<quint16>(p);
    const quint16 type = qFromLittleEndian<quint16>(p + 2);
    const quint16 count = qFromLittleEndian<quint16>(p + 4);
    const qsizetype imagesStart = 6 + 16 * qsizetype(count);
    if (reserved != 0 || type != 1 || count == 0 || size < imagesStart)
        invalid();
    for (int i = 0; i < count; ++i) {
        const uchar* entry = p + 6 + 16 * i;
        const qint64 bytesInRes = qFromLittleEndian<quint32>(entry + 8);
        const qint64 offset = qFromLittleEndian<quint32>(entry + 12);
        if (bytesInRes == 0 || offset < imagesStart || offset + bytesInRes > size)
            invalid();
    }
}
