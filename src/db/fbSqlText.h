#pragma once

#include <QString>
#include <QStringList>

namespace fb {

// A statement text with its named parameters (":SID") replaced by positional markers.
struct PositionalSql {
    QString text;       // the statement as the engine receives it
    QStringList names;  // upper-case name of each marker, in order; a name may repeat
};

// Translates ":NAME" parameters to "?" markers. Colons inside string literals, comments and
// quoted identifiers are left alone, and so are data definition statements, whose bodies use
// ":variable" for their own local variables.
PositionalSql translateNamedParameters(const QString& sql);

}  // namespace fb
