#pragma once

#include "TIcon.h"

#include <functional>
#include <memory>
#include <vector>

class QIODevice;

// Stored data that ends early.
class EReadError : public Exception {
public:
    using Exception::Exception;
};

// An ordered list of icons that owns its icons: callers' icons are copied,
// never kept. Every change raises OnChange once; BeginChanges/EndChanges hold
// the event back so that a bracket of changes raises it once at the end.
// An entry can be null (read from stored data with size 0).
class TIconList : public TPersistent {
public:
    TIconList() = default;
    ~TIconList() override;
    TIconList(const TIconList&) = delete;
    TIconList& operator=(const TIconList&) = delete;

    QString ClassName() const override { return QStringLiteral("TIconList"); }
    // From another list (null entries become empty icons), from one icon, or
    // from null (clears); anything else raises EAssignError.
    void Assign(const TPersistent* Source) override;

    virtual void Changed();

    int Count() const { return static_cast<int>(list_.size()); }
    // The entry (may be null); an index outside 0..Count-1 raises EListError.
    TIcon* Items(int Index) const;
    // Copies Icon into entry Index; Index == Count appends.
    void SetItems(int Index, const TIcon* Icon);

    int Add(const TIcon* Icon);
    // A Qt resource path; a resource that cannot be found gives an empty icon.
    int AddResource(const QString& ResName);
    void Clear();
    void Delete(int Index);
    void Exchange(int Index1, int Index2);
    // Position of that very icon object, or -1.
    int IndexOf(const TIcon* Icon) const;
    void Insert(int Index, const TIcon* Icon);
    void InsertResource(int Index, const QString& ResName);
    void Move(int CurIndex, int NewIndex);

    void BeginChanges() { ++ChangeLockCount; }
    void EndChanges();

    std::function<void(TPersistent* Sender)> OnChange;

    // Form data: the list is one binary property named "Icons", stored only
    // when it has entries. Format, little-endian 32-bit integers: Count, then
    // per entry its Size (0 for a null or empty icon) and Size bytes of the
    // icon's saved form.
    static constexpr const char* PropertyName = "Icons";
    bool HasData() const { return Count() > 0; }
    // Replaces the content; the icons read before a failure stay.
    void ReadData(QIODevice& Stream);
    void WriteData(QIODevice& Stream) const;

private:
    std::unique_ptr<TIcon> copyOf(const TIcon* Icon) const;
    std::unique_ptr<TIcon> fromResource(const QString& ResName) const;
    int append(std::unique_ptr<TIcon> Icon);
    void insertAt(int Index, std::unique_ptr<TIcon> Icon);
    void bind(TIcon* Icon);
    void checkIndex(int Index) const;

    std::vector<std::unique_ptr<TIcon>> list_;
    int ChangeLockCount = 0;
};
