// A key press on the search page at catalogue scale: a touch on a key of the on-screen keyboard
// of the real main window on the offscreen platform, timed until the touch is handled, with the
// keys or the product list of the new filter built and placed; the time until the window has
// repainted (the event loop idle, then the window grabbed) is noted too. Beside each press, the
// database work it cannot avoid, on the kiosk's own connection: the description search's statement
// with its rows, and, for a number found in no description, the first rows of the barcode list in
// the faster of its two orders.
//
// The presses are those of customers typing a word, a short word, and a barcode digit by digit;
// each text is typed from an empty filter, and "Find" empties it again (untimed).
#include <QPixmap>
#include <QPushButton>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <exception>
#include <limits>
#include <map>
#include <memory>
#include <set>
#include <stdexcept>

#include "BenchReport.h"
#include "BenchScreen.h"
#include "db/fbQuery.h"
#include "kiosk/fm_main.h"
#include "sale/fra_keyboard.h"
#include "sale/fra_search.h"

namespace {

constexpr int kRounds = 5;     // each text is typed this many times
constexpr int kListRows = 40;  // the rows the list reads at first

// "CRISPS": the first letter is in most keyed descriptions (several hundred keys), the word in
// a few dozen; "COLA" likewise; the barcode's first digits are in some descriptions, then in
// none, and the list first holds every one of the 200,000 barcodes and at last a few.
const char* const kTexts[] = {"CRISPS", "COLA", "200000001234"};

const char* const kDescriptionSql =
    "select SID, DESCRIPTION, BGLYPH from TBL_PRODUCTS\r\n"
    " where BNUMBER > 0 and position(upper(cast(:TXT as varchar(100))) in upper(DESCRIPTION)) > "
    "0\r\n"
    " order by BNUMBER, DESCRIPTION";
// The list in both of the orders the database can give it: sorted, or walked in list order.
const char* const kBarcodeSql[] = {
    "select p.SID, p.DESCRIPTION from TBL_PRODUCTS p\r\n"
    " join TBL_BARCODES b on b.SID = p.SID\r\n"
    " where b.BARCODE starting with :PFX\r\n"
    " order by p.BNUMBER, p.DESCRIPTION",
    "select p.SID, p.DESCRIPTION from TBL_PRODUCTS p\r\n"
    " join TBL_BARCODES b on b.SID = p.SID\r\n"
    " where b.BARCODE starting with :PFX\r\n"
    " plan join (p order IX_PRODUCTS_BNUMBER_DESCRIPTION, b index (IX_BARCODES_SID))\r\n"
    " order by p.BNUMBER, p.DESCRIPTION"};

using Clock = std::chrono::steady_clock;
double Seconds(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

// The search page of the shown kiosk, as the customer touches it.
class SearchPage {
public:
    explicit SearchPage(bench::ShownKiosk& kiosk) : kiosk_(kiosk), raw_(kiosk.dataModule().conx) {
        TFmMain& screen = kiosk.screen();
        keyboard_ = screen.findChild<TfraKeyboard*>(QStringLiteral("fraKeyboard1"));
        keys_ = screen.findChild<TItemKeyPanel*>(QStringLiteral("pnItemKeys"));
        list_ = screen.findChild<QWidget*>(QStringLiteral("dbgFilter"));
        if (!keyboard_ || !keys_ || !list_) throw std::runtime_error("No search page");
    }

    void open() {
        kiosk_.screen().cmLookupClick();
        bench::WaitUntilIdle();
    }

    // Touches the key of ch; returns the seconds to the handled touch and to the pixels.
    std::pair<double, double> press(QChar ch) {
        QPushButton* key = keyboard_->key(QString(ch));
        if (!key) throw std::runtime_error("No key " + QString(ch).toStdString());
        const Clock::time_point start = Clock::now();
        key->click();
        const Clock::time_point handled = Clock::now();
        bench::WaitUntilIdle();
        const QPixmap pixels = kiosk_.screen().grab();
        const Clock::time_point shown = Clock::now();
        if (pixels.isNull()) throw std::runtime_error("The window could not be grabbed");
        return {Seconds(start, handled), Seconds(start, shown)};
    }

    bool listShown() const { return list_->isVisible(); }
    // The keys of the page, of which only those in view are built.
    int shownKeys() const { return keys_->keyCount(); }

    // The database work of a press on text, in seconds.
    double raw(const QString& text, bool list) {
        const double search = timed(QString::fromLatin1(kDescriptionSql), QStringLiteral("TXT"),
                                    text, std::numeric_limits<int>::max());
        if (!list) return search;
        double best = std::numeric_limits<double>::max();
        for (const char* sql : kBarcodeSql)
            best = std::min(
                best, timed(QString::fromLatin1(sql), QStringLiteral("PFX"), text, kListRows));
        return search + best;
    }

private:
    double timed(const QString& sql, const QString& parameter, const QString& text, int rows) {
        const Clock::time_point start = Clock::now();
        raw_.close();
        raw_.setSQL(sql);
        raw_.bind(parameter, text);
        raw_.open();
        for (int row = 0; !raw_.eof() && row < rows; raw_.next(), ++row) raw_.field(0);
        raw_.close();
        return Seconds(start, Clock::now());
    }

    bench::ShownKiosk& kiosk_;
    fb::Query raw_;
    TfraKeyboard* keyboard_ = nullptr;
    TItemKeyPanel* keys_ = nullptr;
    QWidget* list_ = nullptr;
};

// The presses of one typed prefix length: what they showed and took.
struct Step {
    QString text;
    QString shown;
    bench::Samples handled;
    bench::Samples raw;
};

void Run() {
    const bench::ScaleShop shop(bench::kCatalogueProducts, bench::kCataloguePromotions);
    bench::Progress("search_key", "starting the kiosk on the full-scale shop");
    bench::ShownKiosk kiosk(shop.folder());
    SearchPage page(kiosk);
    bench::Progress("search_key", "typing on the search page");

    bench::Samples pixels, handled, raw;
    std::map<QString, Step> steps;
    for (int round = -1; round < kRounds; ++round) {  // the first round fills the caches
        for (const char* typed : kTexts) {
            page.open();
            const QString text = QString::fromLatin1(typed);
            for (qsizetype n = 1; n <= text.size(); ++n) {
                const auto [toHandled, toPixels] = page.press(text[n - 1]);
                const QString filter = text.left(n);
                const bool list = page.listShown();
                const double rawTime = page.raw(filter, list);
                if (round < 0) continue;
                handled.add(toHandled);
                pixels.add(toPixels);
                raw.add(rawTime);
                Step& step = steps[filter];
                step.text = filter;
                step.shown =
                    list ? QStringLiteral("list") : QStringLiteral("%1 keys").arg(page.shownKeys());
                step.handled.add(toHandled);
                step.raw.add(rawTime);
            }
        }
    }

    // The presses of the first and last characters of each text beside their work.
    std::string note =
        "to the keys built (the touch handled); to the window repainted and "
        "grabbed " +
        bench::FormatValue(bench::Quantity::Time, pixels.median()) + "; by text:";
    std::set<QString> noted;
    for (const char* typed : kTexts) {
        const QString text = QString::fromLatin1(typed);
        for (const QString& filter : {text.left(1), text}) {
            if (!noted.insert(filter).second) continue;
            const Step& step = steps.at(filter);
            note += " \"" + filter.toStdString() + "\" (" + step.shown.toStdString() + ") " +
                    bench::FormatValue(bench::Quantity::Time, step.handled.median()) + " against " +
                    bench::FormatValue(bench::Quantity::Time, step.raw.median()) + ";";
        }
    }
    bench::Report(bench::MakeRow("search_key", handled, &raw, note));
}

}  // namespace

int main(int argc, char** argv) {
    return bench::RunScreenBenchmark(argc, argv, "bench_search", Run);
}
