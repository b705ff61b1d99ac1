#pragma once

#include <QString>
#include <initializer_list>

// The installed kiosk runs under the cage compositor as an unprivileged user; tests that do the
// same need root (to become that user), cage, runuser and Qt's Wayland platform.
namespace cage {

// The unprivileged user the kiosk runs as in these tests.
QString user();

// Why the kiosk cannot be run under cage on this machine, or nothing when it can; tools names
// further programs the test needs.
QString whyNot(std::initializer_list<const char*> tools = {});

}  // namespace cage
