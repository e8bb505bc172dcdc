#pragma once
// Saving the data set: as a ".dae" file (one point per line, commas, "NA" for
// a missing value) or as delimited text with a header row. Numbers are
// written with the fewest digits that read back to the very same double, so
// that saving and opening again changes no value. Files are written
// atomically (see atomic_writer.h).
#include <string>

#include "core/spatial_data.h"
#include "core/result.h"
#include "core/delimited_text.h"

namespace sorvan::core {

// `progress` is told the share of rows written; its false answer cancels (kCancelledText).
Result WriteDae(const std::string& path, const SpatialData& data, const ProgressCallback& progress = {});
// `format.separator` (',' ';' '\t' or ' ') and `format.decimal` ('.' or ',')
// are used as given; missing values are empty fields.
Result WriteDelimitedText(const std::string& path, const SpatialData& data,
                                 const TextFormat& format = {}, const ProgressCallback& progress = {});
// By the extension: ".csv", ".tsv", ".txt" as text (tab for ".tsv"), else ".dae".
Result WriteData(const std::string& path, const SpatialData& data);

// The shortest text of `v` that reads back as `v` ("NA"-free: NaN gives "").
std::string NumberText(double v, char decimal = '.');

}  // namespace sorvan::core
