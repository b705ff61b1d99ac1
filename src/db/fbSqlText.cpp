#include "db/fbSqlText.h"

#include <QRegularExpression>

namespace fb {

namespace {

bool isDefinitionStatement(const QString& sql) {
    static const QRegularExpression ddl(
        QStringLiteral(
            R"(^\s*(create|alter|recreate|drop|declare|comment|grant|revoke|set\s+term)\b)"),
        QRegularExpression::CaseInsensitiveOption);
    return ddl.match(sql).hasMatch();
}

bool isNameStart(QChar c) {
    return c.isLetter() || c == u'_';
}
bool isNameChar(QChar c) {
    return c.isLetterOrNumber() || c == u'_' || c == u'$';
}

// Index just past the literal, identifier or comment that starts at i, or i when none does.
qsizetype skipUnparsed(const QString& s, qsizetype i) {
    const QChar c = s[i];
    const QChar next = i + 1 < s.size() ? s[i + 1] : QChar();
    if (c == u'\'' || c == u'"') {
        qsizetype j = i + 1;
        while (j < s.size()) {
            if (s[j] == c) {
                if (j + 1 < s.size() && s[j + 1] == c) {
                    j += 2;  // doubled quote inside the literal
                    continue;
                }
                return j + 1;
            }
            ++j;
        }
        return s.size();
    }
    if (c == u'-' && next == u'-') {
        const qsizetype end = s.indexOf(u'\n', i);
        return end < 0 ? s.size() : end + 1;
    }
    if (c == u'/' && next == u'*') {
        const qsizetype end = s.indexOf(QStringLiteral("*/"), i + 2);
        return end < 0 ? s.size() : end + 2;
    }
    return i;
}

}  // namespace

PositionalSql translateNamedParameters(const QString& sql) {
    PositionalSql result;
    if (isDefinitionStatement(sql)) {
        result.text = sql;
        return result;
    }
    result.text.reserve(sql.size());
    qsizetype i = 0;
    while (i < sql.size()) {
        const qsizetype skipped = skipUnparsed(sql, i);
        if (skipped != i) {
            result.text += QStringView(sql).mid(i, skipped - i);
            i = skipped;
            continue;
        }
        if (sql[i] == u':' && i + 1 < sql.size() && isNameStart(sql[i + 1])) {
            qsizetype end = i + 1;
            while (end < sql.size() && isNameChar(sql[end])) ++end;
            result.names << sql.mid(i + 1, end - i - 1).toUpper();
            result.text += u'?';
            i = end;
            continue;
        }
        result.text += sql[i++];
    }
    return result;
}

}  // namespace fb
