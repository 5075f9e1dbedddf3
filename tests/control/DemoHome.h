#pragma once

#include <QProcessEnvironment>

#include <filesystem>
#include <string>

#include "tests/support/TempDir.h"

// The environment of a demo copy of the kestrel program that keeps to the
// test's own folders (profile, data source, runtime folder with the
// single-instance socket) and talks on the test's bus, as session and system
// bus.
inline QProcessEnvironment DemoEnvironment(const CTempDir& home, const std::string& strBusAddress) {
    std::filesystem::create_directories(home.File("runtime"));
    std::filesystem::permissions(home.File("runtime"), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::replace);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const auto set = [&environment](const char* pName, const std::string& strValue) {
        environment.insert(QString::fromLatin1(pName), QString::fromStdString(strValue));
    };
    set("HOME", home.Path().string());
    set("XDG_CONFIG_HOME", home.File("config"));
    set("XDG_DATA_HOME", home.File("data"));
    set("XDG_RUNTIME_DIR", home.File("runtime"));
    set("ODBCINI", home.File("odbc.ini"));
    set("KESTREL_PROFILE", home.File("Kestrel.ini"));
    set("KESTREL_SIMULATE", "1");
    set("DBUS_SESSION_BUS_ADDRESS", strBusAddress);
    // The demo holds off sleep through logind: on the test's bus there is none.
    set("DBUS_SYSTEM_BUS_ADDRESS", strBusAddress);
    return environment;
}
