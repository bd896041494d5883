#include "ui/form1_design.h"

#include <algorithm>
#include <chrono>
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

// A run waits this long before it shows how far it is, so that a short one looks as it always
// did; then the window handles its input each time the run tells it how far it is, every few
// thousand lines, so that it answers a screen reader's many questions at once.
constexpr auto kProgressAfter = std::chrono::seconds(1);

}  // namespace

// What the user sees of a run: the wait cursor, the progress window once it lasts, and its
// notice, each gone before the next comes; a window that is closing shows no notice.
class RunFeedback final : public NoticeService, public RunProgress {
 public:
  explicit RunFeedback(Form1Window& window) : window_(window) {
    window_.running_ = true;
    window_.SetBusy(true);
  }
  ~RunFeedback() override {
    Settle();
    window_.running_ = false;
  }
  RunFeedback(const RunFeedback&) = delete;
  RunFeedback& operator=(const RunFeedback&) = delete;

  bool Advance(std::uint64_t done, std::uint64_t total) override {
    if (!shown_) {
      if (Clock::now() - started_ < kProgressAfter) return true;
      // The window answers again, and the cursor over it says so.
      Settle();
      window_.ShowProgress();
      shown_ = true;
    }
    const auto steps = total == 0
                           ? kProgressSteps
                           : static_cast<int>(std::min(done, total) * kProgressSteps / total);
    return window_.PumpProgress(steps) && !window_.closing_;
  }

  void ShowNotice(std::string_view text, NoticeIcon icon) override {
    Settle();
    if (!window_.closing_) window_.Notices().ShowNotice(text, icon);
  }

 private:
  using Clock = std::chrono::steady_clock;

  void Settle() {
    if (busy_) window_.SetBusy(false);
    if (shown_) window_.HideProgress();
    busy_ = shown_ = false;
  }

  Form1Window& window_;
  const Clock::time_point started_ = Clock::now();
  bool busy_ = true;
  bool shown_ = false;
};

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
  {
    RunFeedback feedback(*this);
    ConvertCatalog(std::move(source_path), std::move(dest_path), feedback, &feedback);
  }
  if (closing_) Close();
}

void Form1Window::cmdEnde_Click() { Close(); }

bool Form1Window::QueryClose() {
  closing_ = running_;
  return !running_;
}
}  // namespace tessaril
