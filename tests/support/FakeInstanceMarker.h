#pragma once

#include "platform/InstanceMarker.h"

#include <QtCore/QStringList>

// A marker with a scripted result, and windows of "other copies" that record
// what was done to them.
class FakeInstanceMarker : public InstanceMarker {
public:
    Result Create(const QString& n) override {
        name = n;
        held = result == Result::Created;
        return result;
    }
    void Close() override {
        held = false;
        ++closes;
    }
    Result result = Result::Created;
    QString name;
    bool held = false;
    int closes = 0;
};

class FakeTopLevelWindows : public TopLevelWindows {
public:
    std::unique_ptr<ForeignWindow> FindWindow(const QString& title) override {
        calls << QStringLiteral("FindWindow %1").arg(title);
        if (!otherCopyRuns)
            return nullptr;
        return std::make_unique<Window>(*this);
    }
    void Publish(const QString& title, ApplicationWindowActions) override {
        calls << QStringLiteral("Publish %1").arg(title);
    }

    bool otherCopyRuns = false;
    bool otherIsIconic = false;
    QStringList calls;

private:
    struct Window : ForeignWindow {
        explicit Window(FakeTopLevelWindows& o) : owner(o) {}
        bool IsIconic() override { return owner.otherIsIconic; }
        void ShowWindow(int c) override { owner.calls << QStringLiteral("ShowWindow %1").arg(c); }
        void BringWindowToTop() override { owner.calls << QStringLiteral("BringWindowToTop"); }
        FakeTopLevelWindows& owner;
    };
};
