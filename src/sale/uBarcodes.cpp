#include "sale/uBarcodes.h"

namespace {

bool AllDigits(QStringView text) {
    if (text.isEmpty()) return false;
    for (const QChar c : text)
        if (c < u'0' || c > u'9') return false;
    return true;
}

int Digit(QChar c) {
    return c.unicode() - u'0';
}

// What each symbology's length says, before its check digit is looked at.
TSymbology SymbologyOfLength(qsizetype length) {
    switch (length) {
        case 8:
            return TSymbology::Ean8;
        case 12:
            return TSymbology::UpcA;
        case 13:
            return TSymbology::Ean13;
        case 14:
            return TSymbology::Gtin14;
        default:
            return TSymbology::Other;
    }
}

}  // namespace

int GtinCheckDigit(QStringView digitsWithoutCheck) {
    int sum = 0;
    int weight = 3;
    for (qsizetype i = digitsWithoutCheck.size() - 1; i >= 0; --i) {
        sum += Digit(digitsWithoutCheck[i]) * weight;
        weight = 4 - weight;
    }
    return (10 - sum % 10) % 10;
}

bool GtinCheckDigitValid(QStringView text) {
    if (text.size() < 2 || !AllDigits(text)) return false;
    return GtinCheckDigit(text.first(text.size() - 1)) == Digit(text.back());
}

// The last of the six digits says where the manufacturer's zeros were suppressed.
std::optional<QString> ExpandUpcE(QStringView upcE) {
    if (upcE.size() != 8 || !AllDigits(upcE) || (upcE[0] != u'0' && upcE[0] != u'1'))
        return std::nullopt;
    const QStringView d = upcE.sliced(1, 6);
    const auto zeros = [](int n) { return QString(n, u'0'); };
    QString upcA = upcE.first(1).toString();
    switch (Digit(d[5])) {
        case 0:
        case 1:
        case 2:
            upcA += d.first(2).toString() + d.sliced(5, 1).toString() + zeros(4) +
                    d.sliced(2, 3).toString();
            break;
        case 3:
            upcA += d.first(3).toString() + zeros(5) + d.sliced(3, 2).toString();
            break;
        case 4:
            upcA += d.first(4).toString() + zeros(5) + d.sliced(4, 1).toString();
            break;
        default:
            upcA += d.first(5).toString() + zeros(4) + d.sliced(5, 1).toString();
    }
    return upcA + upcE.last(1).toString();
}

TProductCode ReadProductCode(const QString& text) {
    TProductCode code;
    code.digits = text;
    code.digits.remove(u' ');
    if (!AllDigits(code.digits)) return code;
    code.symbology = SymbologyOfLength(code.digits.size());
    if (!code.isGtin()) return code;
    code.checkDigitValid = GtinCheckDigitValid(code.digits);
    if (code.symbology == TSymbology::Ean8) {
        const std::optional<QString> upcA = ExpandUpcE(code.digits);
        if (upcA && GtinCheckDigitValid(*upcA)) {
            code.alternatives << *upcA;
            if (!code.checkDigitValid) code.symbology = TSymbology::UpcE;
            code.checkDigitValid = true;
        }
    }
    return code;
}

bool GtinCheckDigitWrong(QStringView code) {
    if (SymbologyOfLength(code.size()) == TSymbology::Other || !AllDigits(code)) return false;
    if (GtinCheckDigitValid(code)) return false;
    const std::optional<QString> upcA = code.size() == 8 ? ExpandUpcE(code) : std::nullopt;
    return !(upcA && GtinCheckDigitValid(*upcA));
}

int PriceVerifierDigit(QStringView fourDigits) {
    // The products of each weighting, by digit: "2-" and "5-" take the units digit less the
    // tens digit of the plain product.
    static constexpr int kTwoMinus[] = {0, 2, 4, 6, 8, 9, 1, 3, 5, 7};
    static constexpr int kThree[] = {0, 3, 6, 9, 2, 5, 8, 1, 4, 7};
    static constexpr int kFiveMinus[] = {0, 5, 9, 4, 8, 3, 7, 2, 6, 1};
    const int sum = kTwoMinus[Digit(fourDigits[0])] + kTwoMinus[Digit(fourDigits[1])] +
                    kThree[Digit(fourDigits[2])] + kFiveMinus[Digit(fourDigits[3])];
    return sum * 3 % 10;
}

QString InStorePrefix(const QString& digits) {
    if (digits.size() != 13 || !AllDigits(digits) || digits[0] != u'2') return {};
    return digits.left(2);
}

std::optional<TEmbeddedValue> ReadEmbeddedValue(const QString& digits,
                                                const TEmbeddedCodeLayout& layout) {
    if (InStorePrefix(digits).isEmpty() || !GtinCheckDigitValid(digits)) return std::nullopt;
    const QStringView code(digits);
    TEmbeddedValue embedded;
    embedded.itemNumber = code.sliced(2, 5).toInt();
    if (layout.verifier) {
        const QStringView value = code.sliced(8, 4);
        if (PriceVerifierDigit(value) != Digit(code[7])) return std::nullopt;
        embedded.value = value.toInt();
    } else {
        embedded.value = code.sliced(7, 5).toInt();
    }
    return embedded;
}

namespace {

bool IsGs1SymbologyIdentifier(QStringView identifier) {
    return identifier == u"]C1" || identifier == u"]e0" || identifier == u"]d2" ||
           identifier == u"]Q3";
}

bool IsWebAddress(QStringView text) {
    return text.startsWith(u"https://", Qt::CaseInsensitive) ||
           text.startsWith(u"http://", Qt::CaseInsensitive);
}

TScannedCode PlainCode(const QString& text) {
    TScannedCode code;
    code.plain = ReadProductCode(text);
    return code;
}

template <class Read>
TScannedCode Gs1Code(Read&& read) {
    TScannedCode code;
    try {
        code.gs1 = read();
        code.kind = TScannedCode::Kind::Gs1;
    } catch (const Gs1Misread& misread) {
        code.kind = TScannedCode::Kind::Misread;
        code.fault = QString::fromUtf8(misread.what());
    }
    return code;
}

}  // namespace

TScannedCode ReadScannedCode(const QString& text, const QString& separatorSubstitute,
                             const QDate& today) {
    QString data = text;
    if (!separatorSubstitute.isEmpty()) data.replace(separatorSubstitute, kGroupSeparator);
    const auto elementStrings = [&](QStringView strings) {
        return Gs1Code([&] { return ReadGs1ElementString(strings, today); });
    };
    const auto digitalLink = [&](const QString& address) {
        return Gs1Code([&] { return ReadGs1DigitalLink(address.trimmed(), today); });
    };
    if (data.startsWith(u']') && data.size() >= 3) {
        const QString rest = data.mid(3);
        if (IsGs1SymbologyIdentifier(QStringView(data).first(3))) return elementStrings(rest);
        if (IsWebAddress(rest)) return digitalLink(rest);
        data = rest;
    }
    if (IsWebAddress(data)) return digitalLink(data);
    if (data.contains(kGroupSeparator)) return elementStrings(data);
    // Without an identifier, element strings are told by their GTIN's AI and a length beyond a
    // GTIN's. Digits alone that are no element string stay the plain code they always were.
    const QString compact = QString(data).remove(u' ');
    if (compact.size() > 14 && (compact.startsWith(u"01") || compact.startsWith(u"02"))) {
        TScannedCode code = elementStrings(compact);
        if (code.kind == TScannedCode::Kind::Gs1 || !AllDigits(compact)) return code;
    }
    return PlainCode(data);
}
