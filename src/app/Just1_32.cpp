#include "Just1_32.h"

#include "platform/InstanceMarker.h"

#include <QtCore/QCryptographicHash>
#include <QtCore/QFileInfo>

TPreviousInstance::TPreviousInstance(InstanceMarker& marker, const QString& name)
    : marker_(marker), name_(name) {
    // A marker that cannot be created lets this copy run as the first.
    previous_ = marker_.Create(name) == InstanceMarker::Result::AlreadyExists;
    if (previous_)
        marker_.Close();
}

TPreviousInstance::~TPreviousInstance() {
    marker_.Close();
}

QString TPreviousInstance::markerNameFor(const QString& executablePath) {
    const QFileInfo info(executablePath);
    QString path = info.canonicalFilePath();
    if (path.isEmpty())
        path = info.absoluteFilePath();
    const QByteArray hash =
        QCryptographicHash::hash(path.toUtf8(), QCryptographicHash::Sha256).toHex().left(16);
    return info.completeBaseName() + QLatin1Char('-') + QString::fromLatin1(hash);
}

TJustOne32::TJustOne32(const TPreviousInstance& instance, TopLevelWindows& windows,
                       const QString& title, const std::function<void()>& terminate) {
    if (!instance.PreviousInstance())
        return;
    if (auto window = windows.FindWindow(title)) {
        if (window->IsIconic())
            window->ShowWindow(SW_RESTORE);
        else
            window->BringWindowToTop();
    }
    handedOver_ = true;
    terminate();
}
