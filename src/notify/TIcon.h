#pragma once

#include "gui/NotifyArea.h"
#include "platform/Errors.h"

#include <QtCore/QByteArray>
#include <QtCore/QString>
#include <QtGui/QIcon>

#include <functional>

class QIODevice;

// Base of the objects that copy themselves from one another with Assign. An
// object that cannot take a source raises EAssignError and stays unchanged.
class TPersistent {
public:
    virtual ~TPersistent() = default;
    virtual QString ClassName() const = 0;
    virtual void Assign(const TPersistent* Source);

protected:
    // Asked by Dest.Assign when Dest does not know this object's class.
    virtual void AssignTo(TPersistent* Dest) const;
    [[noreturn]] void AssignError(const TPersistent* Source) const;
};

// Data that is not an icon-file image.
class EInvalidGraphic : public Exception {
public:
    using Exception::Exception;
};

// An icon: the bytes of an icon-file image, kept exactly as loaded so that
// saving gives the same bytes again (also any bytes after the last image).
// An icon with no image is empty. While it holds an image it has a handle
// that the notification area takes.
class TIcon : public TPersistent {
public:
    TIcon() = default;
    ~TIcon() override;
    TIcon(const TIcon&) = delete;
    TIcon& operator=(const TIcon&) = delete;

    QString ClassName() const override { return QStringLiteral("TIcon"); }
    // From another icon (shares its image) or null (empties this one).
    void Assign(const TPersistent* Source) override;

    bool Empty() const { return data_.isEmpty(); }

    // Raises EInvalidGraphic and keeps the old image when the bytes are not
    // an icon-file image. Every load raises the change event.
    void LoadFromBytes(const QByteArray& bytes);
    QByteArray SaveToBytes() const { return data_; }
    // Reads the rest of the stream.
    void LoadFromStream(QIODevice& stream);
    void SaveToStream(QIODevice& stream) const;
    // A file or a Qt resource path; a file that cannot be opened raises.
    void LoadFromFile(const QString& fileName);

    // The image's handle, 0 while empty; it changes with the image.
    HICON Handle() const { return handle_; }

    // For display; call on the GUI thread.
    QIcon ToQIcon() const;

    // Raised after every change of the image.
    std::function<void(TPersistent* Sender)> OnChange;

private:
    void setImage(const QByteArray& bytes);

    QByteArray data_;
    HICON handle_ = 0;
};

// Checks the icon-file layout: header, directory and that every image lies
// within the data. Raises EInvalidGraphic.
void checkIconFile(const QByteArray& bytes);
