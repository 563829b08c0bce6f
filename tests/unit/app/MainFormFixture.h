#pragma once

#include "FakeDialogs.h"
#include "FakeMediaPlayer.h"
#include "FakeNotifyArea.h"
#include "FakePOPControl.h"
#include "FakeProgramStarter.h"
#include "FakeSingleInstance.h"
#include "FixedRandom.h"
#include "MemoryRegistry.h"
#include "app/Just1_32.h"
#include "app/TMainForm.h"
#include "platform/TApplication.h"
#include "ui_TMainForm.h"

#include <gtest/gtest.h>

#include <memory>

// A configuration window on in-memory services.
class MainFormTest : public ::testing::Test {
protected:
    MemoryRegistry registry;
    FakeDialogs dialogs;
    FixedRandom random{0x5A, 0x11, 0x22, 0x33};
    FakeMediaPlayer sound;
    FakePOPControl pop;
    FakeProgramStarter starter;
    FakeNotifyArea notifyArea;
    FakeInstanceMarker marker;
    FakeTopLevelWindows windows;
    std::unique_ptr<TPreviousInstance> previous;
    std::unique_ptr<TMainForm> form;

    void store(const char* section, const char* ident, const QString& value) {
        registry.values[MemoryRegistry::key(section, ident)] = value;
    }
    QString stored(const char* section, const char* ident) const {
        return registry.values.value(MemoryRegistry::key(section, ident),
                                     QStringLiteral("<absent>"));
    }
    TMainForm& create() {
        previous = std::make_unique<TPreviousInstance>(marker, QStringLiteral("test"));
        form = std::make_unique<TMainForm>(MainFormServices{
            *TApplication::Instance(), registry, dialogs, random, sound, pop, starter, notifyArea, *previous, windows});
        return *form;
    }
    Ui::TMainForm& ui() { return form->ui(); }
    void fillConnection(const QString& server, const QString& user, const QString& password) {
        ui().ePOPServer->setText(server);
        ui().eUserName->setText(user);
        ui().ePassword->setText(password);
    }
};
