#include "payment/uTerminalLink.h"

#include <QCryptographicHash>
#include <QMessageAuthenticationCode>
#include <QRandomGenerator>

#include <array>
#include <cctype>

namespace {

constexpr int kNonceBytes = 16;
constexpr qsizetype kMacHexLength = 64;  // SHA-256
const QByteArray kNoMac = QByteArrayLiteral("-");

// The MAC and the JSON of a line; nothing when the line has no space after a MAC-sized word.
struct TSplitLine {
    QByteArray mac;
    QByteArray json;
};
std::optional<TSplitLine> Split(const QByteArray& line) {
    const qsizetype space = line.indexOf(' ');
    if (space < 1) return std::nullopt;
    return TSplitLine{line.left(space), line.mid(space + 1)};
}

}  // namespace

TTerminalLink::TTerminalLink(QByteArray secret) : secret_(std::move(secret)) {}

QByteArray TTerminalLink::mac(const QByteArray& input) const {
    return QMessageAuthenticationCode::hash(input, secret_, QCryptographicHash::Sha256).toHex();
}

std::optional<QByteArray> TTerminalLink::open(const QByteArray& line,
                                              const QByteArray& macInput) const {
    const auto split = Split(line);
    if (!split || split->mac.size() != kMacHexLength || secret_.isEmpty()) return std::nullopt;
    if (!SameBytes(split->mac.toLower(), mac(macInput + split->json))) return std::nullopt;
    return split->json;
}

QByteArray TTerminalLink::requestLine(const QByteArray& terminalNonce,
                                      const QByteArray& json) const {
    return mac("kiosk\n" + terminalNonce + '\n' + json) + ' ' + json + '\n';
}

std::optional<QByteArray> TTerminalLink::openRequest(const QByteArray& line,
                                                     const QByteArray& terminalNonce) const {
    return open(line, "kiosk\n" + terminalNonce + '\n');
}

QByteArray TTerminalLink::answerLine(const QByteArray& clientNonce, int sequence,
                                     const QByteArray& json) const {
    return mac("terminal\n" + clientNonce + '\n' + QByteArray::number(sequence) + '\n' + json) +
           ' ' + json + '\n';
}

std::optional<QByteArray> TTerminalLink::openAnswer(const QByteArray& line,
                                                    const QByteArray& clientNonce,
                                                    int sequence) const {
    return open(line, "terminal\n" + clientNonce + '\n' + QByteArray::number(sequence) + '\n');
}

QByteArray NewLinkNonce() {
    std::array<quint32, kNonceBytes / sizeof(quint32)> words{};
    QRandomGenerator::system()->fillRange(words.data(), words.size());
    return QByteArray(reinterpret_cast<const char*>(words.data()), sizeof words).toHex();
}

bool IsLinkNonce(const QByteArray& text) {
    if (text.size() < 2 * kNonceBytes || text.size() > 8 * kNonceBytes) return false;
    for (const char c : text)
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    return true;
}

QByteArray UnauthenticatedLine(const QByteArray& json) {
    return kNoMac + ' ' + json + '\n';
}

std::optional<QByteArray> UnauthenticatedJson(const QByteArray& line) {
    const auto split = Split(line);
    if (!split || split->mac != kNoMac) return std::nullopt;
    return split->json;
}

bool SameBytes(const QByteArray& a, const QByteArray& b) {
    if (a.size() != b.size()) return false;
    unsigned char difference = 0;
    for (qsizetype i = 0; i < a.size(); ++i) difference |= static_cast<unsigned char>(a[i] ^ b[i]);
    return difference == 0;
}
