#include "app/uCode128.h"

#include <array>
#include <stdexcept>

namespace {

// Bar and space widths of the symbol values 0 to 105 (ISO/IEC 15417), bar first.
constexpr std::array<const char*, 106> kSymbols = {
    "212222", "222122", "222221", "121223", "121322", "131222", "122213", "122312", "132212",
    "221213", "221312", "231212", "112232", "122132", "122231", "113222", "123122", "123221",
    "223211", "221132", "221231", "213212", "223112", "312131", "311222", "321122", "321221",
    "312212", "322112", "322211", "212123", "212321", "232121", "111323", "131123", "131321",
    "112313", "132113", "132311", "211313", "231113", "231311", "112133", "112331", "132131",
    "113123", "113321", "133121", "313121", "211331", "231131", "213113", "213311", "213131",
    "311123", "311321", "331121", "312113", "312311", "332111", "314111", "221411", "431111",
    "111224", "111422", "121124", "121421", "141122", "141221", "112214", "112412", "122114",
    "122411", "142112", "142211", "241211", "221114", "413111", "241112", "134111", "111242",
    "121142", "121241", "114212", "124112", "124211", "411212", "421112", "421211", "212141",
    "214121", "412121", "111143", "111341", "131141", "114113", "114311", "411113", "411311",
    "113141", "114131", "311141", "411131", "211412", "211214", "211232"};
constexpr int kStartB = 104;
constexpr int kCheckModulus = 103;
constexpr const char* kStop = "2331112";

void Append(std::vector<int>& widths, const char* symbol) {
    for (const char* w = symbol; *w; ++w) widths.push_back(*w - '0');
}

}  // namespace

std::vector<int> Code128Widths(const QString& text) {
    if (text.isEmpty()) throw std::invalid_argument("Code 128 needs a text to encode");
    std::vector<int> widths;
    Append(widths, kSymbols[kStartB]);
    int check = kStartB;
    int position = 1;
    for (const QChar c : text) {
        if (c.unicode() < u' ' || c.unicode() > u'~')
            throw std::invalid_argument(
                QStringLiteral("Code 128 set B has no character '%1'").arg(c).toStdString());
        const int value = c.unicode() - u' ';
        Append(widths, kSymbols[value]);
        check += value * position++;
    }
    Append(widths, kSymbols[check % kCheckModulus]);
    Append(widths, kStop);
    return widths;
}
