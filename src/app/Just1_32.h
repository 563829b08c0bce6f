#pragma once

#include <QtCore/QString>

#include <functional>

class InstanceMarker;
class TopLevelWindows;

// Whether another copy of this program file was already running when this
// one started. Created before the program names itself; holds the marker for
// the life of the process.
class TPreviousInstance {
public:
    // name is the program's default title, derived from its file (see
    // markerNameFor): the same for every start of the same program file.
    TPreviousInstance(InstanceMarker& marker, const QString& name);
    ~TPreviousInstance();
    TPreviousInstance(const TPreviousInstance&) = delete;
    TPreviousInstance& operator=(const TPreviousInstance&) = delete;

    bool PreviousInstance() const { return previous_; }
    const QString& Name() const { return name_; }

    // "<file name>-<hash of the canonical path>": one name per program file.
    static QString markerNameFor(const QString& executablePath);

private:
    InstanceMarker& marker_;
    QString name_;
    bool previous_ = false;
};

// Placed on the configuration window: when another copy runs, restores its
// application window if minimised or else raises it, and asks this copy's
// application to end.
class TJustOne32 {
public:
    // title is the application's title; terminate asks the application to end.
    TJustOne32(const TPreviousInstance& instance, TopLevelWindows& windows, const QString& title,
               const std::function<void()>& terminate);

    // Whether another copy runs and this one has asked to end.
    bool HandedOver() const { return handedOver_; }

private:
    bool handedOver_ = false;
};
