// Gathers the rows the benchmark programs reported into one Markdown table, prints it and
// writes it with its notes to a results file:
//   kpbenchtable <rows file> <results file> [<commit>]
#include <cstdio>
#include <ctime>
#include <exception>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "BenchReport.h"

namespace {

std::vector<bench::Row> ReadRows(const std::string& path) {
    std::ifstream in(path);
    if (!in) throw std::runtime_error("Cannot read " + path);
    std::vector<bench::Row> rows;
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) rows.push_back(bench::ParseRowLine(line));
    return rows;
}

std::string ProcessorModel() {
    std::ifstream in("/proc/cpuinfo");
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("model name", 0) != 0) continue;
        const size_t colon = line.find(':');
        if (colon != std::string::npos) return line.substr(line.find_first_not_of(' ', colon + 1));
    }
    return "unknown processor";
}

std::string UtcNow() {
    const std::time_t now = std::time(nullptr);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M UTC", std::gmtime(&now));
    return text;
}

std::string Results(const std::vector<bench::Row>& rows, const std::string& commit) {
    std::string text = "# Benchmark results\n\nMeasured by `./kiosk bench` on " + UtcNow();
    if (!commit.empty()) text += " at commit " + commit;
    text +=
        ": release build, catalogue of 100,000 products with 200,000 barcodes and 1,000 "
        "promotions, " +
        std::to_string(bench::Processors()) + " processors (" + ProcessorModel() +
        "). Times are per operation; the raw baseline is the same database work issued "
        "directly with prepared statements in the same run.\n\n";
    text += bench::MarkdownTable(rows);
    const std::string notes = bench::MarkdownNotes(rows);
    if (!notes.empty()) text += "\n" + notes;
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3 || argc > 4) {
        std::cerr << "usage: kpbenchtable <rows file> <results file> [<commit>]\n";
        return 2;
    }
    try {
        const std::vector<bench::Row> rows = ReadRows(argv[1]);
        std::cout << "\n" << bench::MarkdownTable(rows);
        std::ofstream out(argv[2]);
        out << Results(rows, argc == 4 ? argv[3] : "");
        if (!out) throw std::runtime_error(std::string("Cannot write ") + argv[2]);
        std::cout << "\nWritten to " << argv[2] << "\n";
        return 0;
    } catch (const std::exception& e) {
        std::cerr << "kpbenchtable: " << e.what() << "\n";
        return 1;
    }
}
