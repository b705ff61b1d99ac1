// Fuzz target of the update-file reader: everything the import does with a file before it
// writes to the database (the encoding, the JSON parser with its limits, every reading kind and
// every section). An input may be read or refused with a reason; anything else (a crash, a
// sanitizer's report, another exception, a value the database must never see) is a finding.
#include <QByteArray>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "backoffice/uUpdateFileReader.h"

namespace {

void Require(bool condition) {
    if (!condition) std::abort();
}

void CheckNumbers(const updatefile::UpdateFile& file) {
    for (const auto& d : file.departments) Require(std::isfinite(d.vatRate));
    for (const auto& p : file.products) Require(std::isfinite(p.vatRate) && std::isfinite(p.price));
    for (const auto& p : file.promotions) {
        Require(std::isfinite(p.price) && std::isfinite(p.value) && std::isfinite(p.discount));
        Require(p.start.date.isValid() && p.start.time.isValid());
        Require(p.end.date.isValid() && p.end.time.isValid());
        for (const auto& product : p.products) Require(std::isfinite(product.price));
    }
    for (const auto& u : file.users) Require(u.dob.isValid());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        CheckNumbers(updatefile::ParseUpdateFile(
            QByteArray(reinterpret_cast<const char*>(data), qsizetype(size))));
    } catch (const updatefile::UpdateFileFault&) {
        // A refusal with its reason: what the import does with a bad file.
    }
    return 0;
}
