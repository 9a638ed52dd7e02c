// CSV files come from any oximeter's app: any bytes must be refused with a
// reason or read into a valid data set. The first byte picks the date order
// and the ID, so both paths of the day/month question are driven. The quick
// walk along common rows must read every file as the general reader does.
#include "formats/ImportDetail.h"
#include "tests/fuzz/ImportCheck.h"

using namespace quenda;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    ImportOptions options;
    options.dateOrder = static_cast<DateOrder>(data[0] % 3);
    options.id = 1 + data[0] % 127;
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    const ImportResult result = ImportCsv(text, options);
    fuzz::CheckImport(result, options.id);
    if (!result.ok && result.dateOrderAmbiguous && options.dateOrder != DateOrder::Unknown) std::abort();
    const ImportResult general = import_detail::ReadCsv(text, options, import_detail::CsvRows::GeneralOnly);
    if (general.ok != result.ok || general.message != result.message || general.samples != result.samples ||
        general.dateOrderAmbiguous != result.dateOrderAmbiguous)
        std::abort();
    return 0;
}
