#pragma once

#include <QByteArray>
#include <optional>

// The authentication of the link between the kiosk and its terminal service, with a secret only
// the two share (uPaymentSettings). Every line after the terminal's greeting is
// "<HMAC-SHA256 in lower-case hex> <compact JSON>", the MAC taken over a direction label, the
// other side's nonce and the exact JSON bytes:
//   request (kiosk -> terminal):  "kiosk\n" + terminal's nonce + "\n" + json
//   answer line n (1, 2, ...):    "terminal\n" + kiosk's nonce + "\n" + n + "\n" + json
// Each side makes a fresh nonce per connection, so a line recorded on one connection is
// refused on any other, and the numbering refuses answer lines dropped, repeated or reordered.
// Lines that nothing can authenticate (the greeting, the refusal of a request that failed)
// carry "-" in place of the MAC. docs/terminal-protocol.md describes the link for integrators.
class TTerminalLink {
public:
    explicit TTerminalLink(QByteArray secret);

    // A request line (with its "\n") for the connection whose greeting carried terminalNonce.
    QByteArray requestLine(const QByteArray& terminalNonce, const QByteArray& json) const;
    // The JSON of a request line (without its "\n") when its MAC is right, else nothing.
    std::optional<QByteArray> openRequest(const QByteArray& line,
                                          const QByteArray& terminalNonce) const;

    // Answer line number sequence (from 1) to the request that carried clientNonce.
    QByteArray answerLine(const QByteArray& clientNonce, int sequence,
                          const QByteArray& json) const;
    std::optional<QByteArray> openAnswer(const QByteArray& line, const QByteArray& clientNonce,
                                         int sequence) const;

private:
    QByteArray mac(const QByteArray& input) const;
    std::optional<QByteArray> open(const QByteArray& line, const QByteArray& macInput) const;

    QByteArray secret_;
};

// A fresh nonce from the system's random source: 16 bytes as 32 lower-case hex characters.
QByteArray NewLinkNonce();
// True for a text that can be a nonce: 32 to 128 hexadecimal characters.
bool IsLinkNonce(const QByteArray& text);

// A line without a MAC, e.g. the greeting: "- " + json + "\n".
QByteArray UnauthenticatedLine(const QByteArray& json);
// The JSON of a line without a MAC; nothing for any other line.
std::optional<QByteArray> UnauthenticatedJson(const QByteArray& line);

// Whether two byte strings are equal, in a time that does not depend on where they differ.
bool SameBytes(const QByteArray& a, const QByteArray& b);
