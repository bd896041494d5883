#include "ui/form1_design.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "catalog/convert_catalog.h"
#include "platform/program_directory.h"

namespace tessaril {
namespace {

#ifdef _WIN32
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

// Growing by a twelfth of the design at a time finds a fitting scale in a few steps, and
// gives up long before a window would outgrow any screen.
constexpr double kScaleStep = 1.0 / 12;
constexpr double kLargestScale = 8.0;

int Round(double value) { return static_cast<int>(std::lround(value)); }

// Passes the notice on with the normal cursor back in place; the cursor says until then that
// the run blocks the window.
class BusyUntilNotice : public NoticeService {
 public:
  explicit BusyUntilNotice(Form1Window& window) : window_(window) { window_.SetBusy(true); }
  ~BusyUntilNotice() override { Restore(); }
  BusyUntilNotice(const BusyUntilNotice&) = delete;
  BusyUntilNotice& operator=(const BusyUntilNotice&) = delete;

  void ShowNotice(std::string_view text, NoticeIcon icon) override {
    Restore();
    window_.Notices().ShowNotice(text, icon);
  }

 private:
  void Restore() {
    if (!busy_) return;
    busy_ = false;
    window_.SetBusy(false);
  }

  Form1Window& window_;
  bool busy_ = true;
};

}  // namespace

DesignBox Scaled(const DesignBox& box, double scale) {
  const int left = Round(box.left * scale), top = Round(box.top * scale);
  return {left, top, Round((box.left + box.width) * scale) - left,
          Round((box.top + box.height) * scale) - top};
}

double LayoutScale(double dpi_scale, double font_pixels,
                   const std::function<NeededSize(Form1Control, const DesignBox&)>& needed) {
  const auto texts_fit = [&](double scale) {
    for (std::size_t i = 0; i < kForm1Controls.size(); ++i) {
      const DesignBox box = Scaled(kForm1Controls[i].box, scale);
      const NeededSize text = needed(static_cast<Form1Control>(i), box);
      if (text.width > box.width || text.height > box.height) return false;
    }
    return true;
  };
  double scale = std::max({1.0, dpi_scale, font_pixels / kForm1FontPixels});
  while (!texts_fit(scale) && scale < kLargestScale) scale += kScaleStep;
  return scale;
}

std::string PathInDirectory(std::string directory, char separator, std::string_view file_name) {
  return WithTrailingSeparator(std::move(directory), separator).append(file_name);
}

void Form1Window::Form_Load() {
  const std::string directory = CatalogueDirectory(ProgramDirectory(), HomeDirectory());
  SetText(Form1Control::kTxtSource, PathInDirectory(directory, kSeparator, "velmora.kat"));
  SetText(Form1Control::kTxtDest, PathInDirectory(directory, kSeparator, "velmora-neu.kat"));
}

void Form1Window::cmdConvert_Click() {
  std::string source_path = Text(Form1Control::kTxtSource);
  std::string dest_path = Text(Form1Control::kTxtDest);
  BusyUntilNotice notices(*this);
  ConvertCatalog(std::move(source_path), std::move(dest_path), notices);
}

void Form1Window::cmdEnde_Click() { Close(); }
}  // namespace tessaril
