#pragma once

#include "FakeDesktop.h"
#include "FakePOPControl.h"
#include "ui_TMainForm.h"

#include <gtest/gtest.h>

#include <memory>

// A configuration window on in-memory services.
class MainFormTest : public ::testing::Test {
protected:
    FakeDesktop desktop;
    MemoryRegistry& registry = desktop.registry;
    FakeDialogs& dialogs = desktop.dialogs;
    FakeMediaPlayer& sound = desktop.sound;
    FakeProgramStarter& starter = desktop.starter;
    FakePOPControl pop;
    std::unique_ptr<TMainForm> form;

    void store(const char* section, const char* ident, const QString& value) {
        registry.values[MemoryRegistry::key(section, ident)] = value;
    }
    QString stored(const char* section, const char* ident) const {
        return registry.values.value(MemoryRegistry::key(section, ident),
                                     QStringLiteral("<absent>"));
    }
    TMainForm& create() {
        form = std::make_unique<TMainForm>(desktop.services(pop));
        return *form;
    }
    Ui::TMainForm& ui() { return form->ui(); }
    void fillConnection(const QString& server, const QString& user, const QString& password) {
        ui().ePOPServer->setText(server);
        ui().eUserName->setText(user);
        ui().ePassword->setText(password);
    }
};
