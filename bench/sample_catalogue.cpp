#include "bench/sample_catalogue.h"

#include <array>
#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <string_view>

namespace tessaril::bench {
namespace {

constexpr std::array<std::string_view, 8> kNames = {"Albrecht",
                                                    "B\xE4"
                                                    "cker & S\xF6hne",
                                                    "  Carstens",
                                                    "D\xFCrr",
                                                    "Eulenberg",
                                                    "Fa\xDF"
                                                    "binder",
                                                    "Gr\xFCn",
                                                    "Hoffmann KG"};
constexpr std::array<std::string_view, 6> kTexts = {
    "Hauptstra\xDF"
    "e 12",
    "Am Markt 3",
    "  Kirchweg 7a",
    "Lindenallee 140",
    "\xD6lm\xFChlenweg 2",
    "Postfach 88"};
constexpr std::array<std::string_view, 6> kNumbers = {"12,5 ", " 0,95", "1.25 ",
                                                      "300  ", "-4,75", "1E3  "};

}  // namespace

std::string SampleLine(std::size_t index) {
  char line[80];
  std::snprintf(line, sizeof line, "%-20.20s%-30.30s%-5.5s%02zu.%02zu.%04zu",
                kNames[index % kNames.size()].data(), kTexts[index % kTexts.size()].data(),
                kNumbers[index % kNumbers.size()].data(), index % 28 + 1, index % 12 + 1,
                1950 + index % 70);
  return line;
}

void WriteSampleCatalogue(const std::filesystem::path& path, std::size_t line_count) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  for (std::size_t i = 0; i < line_count; ++i) out << SampleLine(i) << "\r\n";
  if (!out) throw std::runtime_error("cannot write the sample catalogue");
}

}  // namespace tessaril::bench
