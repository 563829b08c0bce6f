#pragma once

#include <QtCore/QObject>

// Counts a bus signal connected to hit().
class SignalCounter : public QObject {
    Q_OBJECT
public:
    int count = 0;
public slots:
    void hit() { ++count; }
};
