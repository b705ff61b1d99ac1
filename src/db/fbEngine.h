#pragma once

#include <QString>
#include <functional>

namespace fb {

// The embedded engine keeps its lock files in $FIREBIRD_LOCK and its temporary files in
// $FIREBIRD_TMP. Left unset, every user of the machine shares /tmp/firebird, and the files
// the first user created there lock every other user out of the engine. Points both at
// folders of their own under base ("base/lock", "base/tmp", created with mode 0700), each
// only when not set already. Must run before the engine is loaded (the first attach).
void UsePrivateEngineFolders(const QString& base);

// Where a program's engine folders go: $XDG_RUNTIME_DIR/<application>/firebird when the
// runtime folder exists, otherwise <temporary folder>/<application>-<uid>/firebird. Raises
// fb::Error when that folder belongs to another user.
QString DefaultEngineFolder(const QString& application);

// Runs hook once, right after the first attach (or database creation) loaded the engine,
// whether that attach succeeded or not. Loading the engine installs its own handlers for
// SIGINT and SIGTERM, so a program that handles those signals installs its own here.
void AfterEngineLoad(std::function<void()> hook);

// Called by the connection after every attach attempt; runs the hook the first time.
void EngineLoaded();

}  // namespace fb
