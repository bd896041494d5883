#include "tests/support/test_support.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace tessaril::testing {

namespace fs = std::filesystem;

TempFolder::TempFolder() {
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    path_ = fs::temp_directory_path() / ("tessaril-test-" + std::to_string(random()));
    if (fs::create_directory(path_)) return;
  }
  throw std::runtime_error("no new temporary folder");
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  // Tests take permissions away; give them back so that everything can be removed.
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
  for (const auto& item : fs::recursive_directory_iterator(path_, ignored)) {
    if (!item.is_symlink()) {
      fs::permissions(item.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    }
  }
  fs::remove_all(path_, ignored);
}

void WriteBytes(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()))) {
    throw std::runtime_error("cannot write " + path);
  }
}

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> FolderNames(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& item : fs::directory_iterator(folder))
    names.push_back(item.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::string CatalogLine(std::string_view text20, std::string_view text30, std::string_view number,
                        std::string_view date) {
  std::string line;
  for (const auto& [field, width] :
       {std::pair{text20, 20u}, {text30, 30u}, {number, 5u}, {date, 10u}}) {
    line += field;
    line.append(width - std::min<std::size_t>(width, field.size()), ' ');
  }
  return line;
}

std::string ValidCatalogue(int count, std::string_view line_end) {
  std::string text;
  for (int i = 1; i <= count; ++i) {
    text += CatalogLine("Artikel " + std::to_string(i), "Gr\xF6\xDF\x65 " + std::to_string(i % 50),
                        std::to_string(i % 100) + ",5", "24.12.2020");
    text += line_end;
  }
  return text;
}

std::string ExpectedRecord(std::string text20, std::string text30, float number, double date) {
  text20.resize(20, ' ');
  text30.resize(30, ' ');
  std::string record = text20 + text30;
  const auto number_bits = std::bit_cast<std::uint32_t>(number);
  for (int i = 0; i < 4; ++i) record += static_cast<char>(number_bits >> (8 * i));
  const auto date_bits = std::bit_cast<std::uint64_t>(date);
  for (int i = 0; i < 8; ++i) record += static_cast<char>(date_bits >> (8 * i));
  return record;
}

std::string ExpectedRecords(int count) {
  std::string records;
  for (int i = 1; i <= count; ++i) {
    records +=
        ExpectedRecord("Artikel " + std::to_string(i), "Gr\xF6\xDF\x65 " + std::to_string(i % 50),
                       static_cast<float>(i % 100) + 0.5f, 44189);
  }
  return records;
}

std::string WithPaths(std::string text, const std::string& source, const std::string& dest,
                      const std::string& folder) {
  for (const auto& [mark, path] : {std::pair{std::string_view("<source>"), &source},
                                   {"<dest>", &dest},
                                   {"<folder>", &folder}}) {
    if (const auto at = text.find(mark); at != std::string::npos)
      text.replace(at, mark.size(), *path);
  }
  return text;
}

}  // namespace tessaril::testing
