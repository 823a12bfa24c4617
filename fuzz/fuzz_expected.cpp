// Fuzzes the reading of an audit's expected list with hostile bytes: it never
// crashes; the rows it keeps are in line order, within the limit, each with an
// address that parsed and cells as many as the header's columns; every fault
// names its line or the whole file; and a minimum compares a version that
// begins with a number as at least itself.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "ops/expected.h"

namespace {

void Require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "fuzz_expected: %s\n", what);
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<scout::ops::ListFault> faults;
    const scout::ops::ExpectedList list = scout::ops::ReadExpected(text, &faults);
    Require(list.rows.size() <= scout::ops::MaxExpectedRows, "no more rows than a list takes");
    int previous = 1;
    for (const scout::ops::ExpectedRow& row : list.rows) {
        Require(row.line > previous, "rows in line order, after the header");
        previous = row.line;
        Require(row.cells.size() == list.headers.size(), "as many cells as the header has columns");
        Require(!row.addressText.empty(), "every row has its address");
        for (const scout::ops::ExpectedText* expected : {&row.version, &row.revision})
            if (expected->minimum)
                Require(!expected->text.empty() && std::isdigit(static_cast<unsigned char>(expected->text[0])),
                        "a minimum begins with a number");
    }
    using scout::ops::CsvFaultKind;
    for (const scout::ops::ListFault& fault : faults) {
        const bool whole = fault.kind == scout::ops::ListFaultKind::Csv &&
                           (fault.csv.kind == CsvFaultKind::TooLarge || fault.csv.kind == CsvFaultKind::NoHeader);
        Require(whole ? fault.line == 0 : fault.line > 0, "each fault names its line, or the whole file");
        Require(fault.kind != scout::ops::ListFaultKind::Csv || fault.csv.kind != CsvFaultKind::None,
                "a fault of the file as CSV says which");
    }
    Require(!list.headers.empty() || !faults.empty(), "a list without a header is a fault");
    // The minimum rule on two halves of the input: a text at least itself
    // exactly when it begins with a number; never both below the other.
    const std::string a = text.substr(0, size / 2), b = text.substr(size / 2);
    const bool number = !a.empty() && std::isdigit(static_cast<unsigned char>(a[0]));
    Require(scout::ops::AtLeast(a, a) == number, "a version is at least itself where it begins with a number");
    if (number && !b.empty() && std::isdigit(static_cast<unsigned char>(b[0])))
        Require(scout::ops::AtLeast(a, b) || scout::ops::AtLeast(b, a), "of two versions one is at least the other");
    return 0;
}
