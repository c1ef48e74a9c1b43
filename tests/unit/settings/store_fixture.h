#pragma once
// A settings store in a temporary folder, filled by the test and then loaded as at start-up.

#include "platform/fixedtext.h"
#include "platform/registry.h"
#include "settings/load_settings.h"
#include "settings/registry_names.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <memory>

class SettingsStore : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        // No autostart entry unless a test writes one.
        ::setenv("OSTROVID_AUTOSTART_DIR", dir.path().toLocal8Bit().constData(), 1);
        ASSERT_EQ(store.CreateKey(settings::regnames::kAppKey), 0);
    }

    void Dword(const QString& key, const QString& name, uint32_t value) {
        ASSERT_EQ(store.CreateKey(key), 0);
        ASSERT_EQ(store.SetDword(key, name, value), 0);
    }
    void Text(const QString& key, const QString& name, const QString& value) {
        ASSERT_EQ(store.CreateKey(key), 0);
        ASSERT_EQ(store.SetString(key, name, value), 0);
    }
    void App(const QString& name, uint32_t value) { Dword(settings::regnames::kAppKey, name, value); }

    // Loads into a fresh state; the state is large, so it lives on the heap.
    settings::SettingsState& Load() {
        state = std::make_unique<settings::SettingsState>();
        settings::LoadSettingsFromStore(store, *state);
        return *state;
    }

    QTemporaryDir dir;
    platform::RegistryStore store{dir.filePath(QStringLiteral("registry.reg"))};
    std::unique_ptr<settings::SettingsState> state;
};

template <size_t N>
QString Str(const char16_t (&field)[N]) {
    return platform::FromFixed(field);
}
