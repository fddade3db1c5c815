// Lotus 1-2-3 worksheets: WKS (release 1A) and WK1 (release 2), one record a cell.
#include "common/text.h"
#include "export/saveas_internal.h"

namespace print::saveas {

namespace {

constexpr uint16_t kBof = 0x0000;
constexpr uint16_t kEof = 0x0001;
constexpr uint16_t kDimensions = 0x0006;
constexpr uint16_t kNumber = 0x000E;
constexpr uint16_t kLabel = 0x000F;
// Cell format byte: protected, "general" (the special format 7, variant 1).
constexpr uint8_t kGeneral = 0xFF;
// The longest label a worksheet holds, in bytes.
constexpr size_t kMaxLabel = 240;

}  // namespace

Status writeLotus(ExportSource& source, AtomicFile& file, const SaveAsOptions& options, bool wk1) {
    const auto& columns = source.columns();
    const long maxRows = wk1 ? 8192 : 2048;
    const long rows = source.rows() + (options.headings ? 1 : 0);
    if (rows > maxRows)
        return Error{std::string(wk1 ? "a WK1" : "a WKS") + " worksheet holds at most " +
                     std::to_string(maxRows) + " rows; the report has " + std::to_string(rows)};
    if (columns.size() > 256)
        return Error{"a Lotus worksheet holds at most 256 columns; the report has " +
                     std::to_string(columns.size())};
    CodePageEncoder encoder(options.codePage);

    file.put16(kBof);
    file.put16(2);
    file.put16(wk1 ? 0x0406 : 0x0404);
    file.put16(kDimensions);
    file.put16(8);
    file.put16(0);
    file.put16(0);
    file.put16(static_cast<uint16_t>(columns.empty() ? 0 : columns.size() - 1));
    file.put16(static_cast<uint16_t>(rows > 0 ? rows - 1 : 0));

    std::string bytes;
    auto cell = [&](uint16_t row, uint16_t col, const Value& v) -> Status {
        if (v.isNull()) return Status::success();
        if (isNumeric(v.type())) {
            Result<double> exact = exactDouble(v, "a Lotus cell");
            if (!exact.ok()) return exact.error();
            file.put16(kNumber);
            file.put16(13);
            file.put8(kGeneral);
            file.put16(col);
            file.put16(row);
            file.putDouble(exact.value());
            return Status::success();
        }
        bytes.assign("'");
        if (Status s = encoder.append(bytes, exportText(v)); !s) return s;
        if (bytes.size() - 1 > kMaxLabel)
            return Error{"a text of " + std::to_string(bytes.size() - 1) +
                         " bytes does not fit a Lotus label (at most 240)"};
        file.put16(kLabel);
        file.put16(static_cast<uint16_t>(5 + bytes.size() + 1));
        file.put8(kGeneral);
        file.put16(col);
        file.put16(row);
        file.write(bytes);
        file.put8(0);
        return Status::success();
    };
    if (Status s = writeCells(source, options, cell); !s) return s;
    file.put16(kEof);
    file.put16(0);
    return Status::success();
}

}  // namespace print::saveas
