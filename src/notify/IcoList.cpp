#include "IcoList.h"

#include <QtCore/QFile>
#include <QtCore/QIODevice>
#include <QtCore/QtEndian>

#include <algorithm>

namespace {

// Runs the end of a change bracket also when the bracket's work raised.
class ChangeBracket {
public:
    explicit ChangeBracket(TIconList& list) : list_(list) { list_.BeginChanges(); }
    ~ChangeBracket() noexcept(false) {
        // An error already on its way wins over one from the change event.
        if (std::uncaught_exceptions() > exceptions_) {
            try {
                list_.EndChanges();
            } catch (...) {
            }
        } else {
            list_.EndChanges();
        }
    }
    ChangeBracket(const ChangeBracket&) = delete;
    ChangeBracket& operator=(const ChangeBracket&) = delete;

private:
    TIconList& list_;
    int exceptions_ = std::uncaught_exceptions();
};

QByteArray readExactly(QIODevice& stream, qint64 size) {
    if (!stream.isSequential() && stream.bytesAvailable() < size)
        throw EReadError(QStringLiteral("Stream read error"));
    QByteArray bytes;
    while (bytes.size() < size) {
        const QByteArray chunk = stream.read(std::min<qint64>(size - bytes.size(), 1 << 16));
        if (chunk.isEmpty())
            throw EReadError(QStringLiteral("Stream read error"));
        bytes += chunk;
    }
    return bytes;
}

qint32 readInt(QIODevice& stream) {
    return qFromLittleEndian<qint32>(readExactly(stream, 4).constData());
}

void writeBytes(QIODevice& stream, const QByteArray& bytes) {
    if (stream.write(bytes) != bytes.size())
        throw Exception(QStringLiteral("Stream write error"));
}

void writeInt(QIODevice& stream, qint32 value) {
    char bytes[4];
    qToLittleEndian(value, bytes);
    writeBytes(stream, QByteArray(bytes, 4));
}

} // namespace

TIconList::~TIconList() {
    OnChange = nullptr;
    for (auto& icon : list_)
        if (icon)
            icon->OnChange = nullptr;
}

void TIconList::Changed() {
    if (ChangeLockCount == 0 && OnChange)
        OnChange(this);
}

void TIconList::EndChanges() {
    --ChangeLockCount;
    if (ChangeLockCount == 0)
        Changed();
}

void TIconList::checkIndex(int Index) const {
    if (Index < 0 || Index >= Count())
        throw EListError(QStringLiteral("List index out of bounds (%1)").arg(Index));
}

TIcon* TIconList::Items(int Index) const {
    checkIndex(Index);
    return list_[Index].get();
}

void TIconList::bind(TIcon* Icon) {
    if (Icon)
        Icon->OnChange = [this](TPersistent*) { Changed(); };
}

std::unique_ptr<TIcon> TIconList::copyOf(const TIcon* Icon) const {
    auto fresh = std::make_unique<TIcon>();
    fresh->Assign(Icon);
    return fresh;
}

std::unique_ptr<TIcon> TIconList::fromResource(const QString& ResName) const {
    auto fresh = std::make_unique<TIcon>();
    QFile file(ResName);
    if (file.open(QIODevice::ReadOnly))
        fresh->LoadFromStream(file);
    return fresh;
}

int TIconList::append(std::unique_ptr<TIcon> Icon) {
    TIcon* icon = Icon.get();
    list_.push_back(std::move(Icon));
    bind(icon);
    Changed();
    return Count() - 1;
}

void TIconList::insertAt(int Index, std::unique_ptr<TIcon> Icon) {
    if (Index < 0 || Index > Count())
        throw EListError(QStringLiteral("List index out of bounds (%1)").arg(Index));
    TIcon* icon = Icon.get();
    list_.insert(list_.begin() + Index, std::move(Icon));
    bind(icon);
    Changed();
}

int TIconList::Add(const TIcon* Icon) {
    return append(copyOf(Icon));
}

int TIconList::AddResource(const QString& ResName) {
    return append(fromResource(ResName));
}

void TIconList::Insert(int Index, const TIcon* Icon) {
    insertAt(Index, copyOf(Icon));
}

void TIconList::InsertResource(int Index, const QString& ResName) {
    insertAt(Index, fromResource(ResName));
}

void TIconList::SetItems(int Index, const TIcon* Icon) {
    ChangeBracket bracket(*this);
    if (Index == Count())
        Add(nullptr);
    checkIndex(Index);
    if (!list_[Index])
        list_[Index] = std::make_unique<TIcon>();
    bind(list_[Index].get());
    list_[Index]->Assign(Icon);
}

void TIconList::Delete(int Index) {
    checkIndex(Index);
    if (list_[Index])
        list_[Index]->OnChange = nullptr;
    list_.erase(list_.begin() + Index);
    Changed();
}

void TIconList::Clear() {
    ChangeBracket bracket(*this);
    for (int i = Count() - 1; i >= 0; --i)
        Delete(i);
}

void TIconList::Exchange(int Index1, int Index2) {
    checkIndex(Index1);
    checkIndex(Index2);
    std::swap(list_[Index1], list_[Index2]);
    Changed();
}

void TIconList::Move(int CurIndex, int NewIndex) {
    if (CurIndex != NewIndex) {
        checkIndex(CurIndex);
        checkIndex(NewIndex);
        auto icon = std::move(list_[CurIndex]);
        list_.erase(list_.begin() + CurIndex);
        list_.insert(list_.begin() + NewIndex, std::move(icon));
    }
    Changed();
}

int TIconList::IndexOf(const TIcon* Icon) const {
    for (int i = 0; i < Count(); ++i)
        if (list_[i].get() == Icon)
            return i;
    return -1;
}

void TIconList::Assign(const TPersistent* Source) {
    if (!Source) {
        Clear();
        return;
    }
    if (const auto* other = dynamic_cast<const TIconList*>(Source)) {
        if (other == this)
            return;
        ChangeBracket bracket(*this);
        Clear();
        for (int i = 0; i < other->Count(); ++i)
            Add(other->Items(i));
        return;
    }
    if (const auto* icon = dynamic_cast<const TIcon*>(Source)) {
        ChangeBracket bracket(*this);
        // The source may be one of our own entries: copy it before clearing.
        auto copy = copyOf(icon);
        Clear();
        Add(copy.get());
        return;
    }
    TPersistent::Assign(Source);
}

void TIconList::ReadData(QIODevice& Stream) {
    ChangeBracket bracket(*this);
    Clear();
    const qint32 count = readInt(Stream);
    for (qint32 i = 0; i < count; ++i) {
        const qint32 size = readInt(Stream);
        if (size > 0) {
            auto fresh = std::make_unique<TIcon>();
            fresh->LoadFromBytes(readExactly(Stream, size));
            append(std::move(fresh));
        } else {
            append(nullptr);
        }
    }
}

void TIconList::WriteData(QIODevice& Stream) const {
    writeInt(Stream, Count());
    for (const auto& icon : list_) {
        const QByteArray saved = icon && !icon->Empty() ? icon->SaveToBytes() : QByteArray();
        writeInt(Stream, static_cast<qint32>(saved.size()));
        if (!saved.isEmpty())
            writeBytes(Stream, saved);
    }
}
