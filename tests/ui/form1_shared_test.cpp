// What both windows, on Qt and on Win32, must do alike, worked through each toolkit's driver.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

#include "tests/support/test_support.h"
#include "tests/ui/form1_driver.h"

namespace tessaril::testing {
namespace {

using C = Form1Control;

constexpr char kWarning[] =
    "Mit diesem Programm können Sie ihren alten Katalog aus einer Version 1.0 bis 3.x in das "
    "Format der neuen Version 4.x konvertieren. Bitte beachten Sie, dass die Konversion nicht "
    "rückgängig gemacht werden kann!";

// The one notice of a conversion: success, the failure after its opening words, or none for
// a run the user ended.
std::string Notice(const std::optional<std::string>& failure) {
  const bool information = !failure || failure->empty();
  return std::string("Velmora Tessaril 3.x --> 4.x|") + (information ? "information" : "critical") +
         "|OK|modal over the window|" +
         (!failure           ? "Konvertieren abgebrochen, nichts wurde geändert"
          : failure->empty() ? "Konvertieren erfolgreich abgeschlossen"
                             : "Fehler beim konvertieren: " + *failure);
}

// Every control in its place at the design's size at the system's dpi, and with larger fonts
// in proportion to the font, but never smaller than the dpi asks.
TEST(Form1, ControlsHaveTheirTextsPlacesAndTabOrder) {
  struct Expected {
    C control;
    const char* text;
    const char* name;              // What a screen reader says.
    int left, top, right, bottom;  // At 96 dpi.
  };
  const Expected controls[] = {
      {C::kLabel1, kWarning, kWarning, 8, 8, 401, 65},
      {C::kLabel2, "&alte Katalogdatei:", "alte Katalogdatei:", 8, 72, 100, 91},
      {C::kTxtSource, "", "alte Katalogdatei:", 104, 72, 401, 91},
      {C::kLabel3, "&neue Katalogdatei:", "neue Katalogdatei:", 8, 96, 100, 115},
      {C::kTxtDest, "", "neue Katalogdatei:", 104, 96, 401, 115},
      {C::kCmdConvert, "&Konvertieren", "Konvertieren", 200, 120, 313, 145},
      {C::kCmdEnde, "&Ende", "Ende", 320, 120, 401, 145},
      {C::kLabel4, "www.velmora.example", "www.velmora.example", 0, 136, 185, 153},
  };
  const char* dpi = std::getenv("TESSARIL_TEST_DPI");  // Set where the system's is not 96.
  const double dpi_scale = dpi == nullptr ? 1.0 : std::atoi(dpi) / 96.0;
  const auto window = OpenForm1();
  // The font's height in pixels (0: the system's own), and whether the design's places then
  // stand exactly; the window grows with the font, at most a half more where a wide font needs.
  for (const auto& [pixels, exact] : {std::pair{9, true}, {0, false}, {16, false}, {24, false}}) {
    window->UseFont(pixels);
    const double least = std::max(dpi_scale, pixels / 12.0);
    const SeenControl client = window->Seen(std::nullopt);
    const double scale = client.box.right / 408.0;
    SCOPED_TRACE(std::to_string(pixels) + " px font, scale " + std::to_string(scale));
    EXPECT_GE(scale, least);
    EXPECT_LE(scale, least * 1.5);
    EXPECT_TRUE(!exact || (client.box.right == std::lround(408 * least) &&
                           client.box.bottom == std::lround(152 * least)))
        << client.box.right << "x" << client.box.bottom;
    EXPECT_NEAR(client.box.bottom, 152 * scale, 1);
    for (const Expected& e : controls) {
      SCOPED_TRACE(e.name);
      const SeenControl seen = window->Seen(e.control);
      EXPECT_NEAR(seen.box.left, e.left * scale, 1);
      EXPECT_NEAR(seen.box.top, e.top * scale, 1);
      EXPECT_NEAR(seen.box.right, e.right * scale, 1);
      EXPECT_NEAR(seen.box.bottom, e.bottom * scale, 1);
      EXPECT_EQ(seen.text, e.text);
      EXPECT_EQ(seen.name, e.name);
    }
    window->ExpectOwnLayout();
  }
  EXPECT_EQ(window->Seen(std::nullopt).text, "Tessaril");
  EXPECT_EQ(window->Seen(std::nullopt).name, "Tessaril");
  EXPECT_TRUE(window->HasIcon());
  EXPECT_TRUE(window->Seen(C::kTxtSource).focused);
  for (const C next : {C::kTxtDest, C::kCmdEnde, C::kCmdConvert, C::kTxtSource}) {
    window->Press(Key::kTab, false);
    EXPECT_TRUE(window->Seen(next).focused);
  }
}

// Keys and clicks one after another on the same window: each starts only what it names, a
// conversion shows one notice and leaves the boxes' texts, and the focus is afterwards where
// it was, on the button clicked, or in the box whose label's access key was typed.
TEST(Form1, KeysAndClicksPressOnlyWhatTheyName) {
  TempFolder folder;
  const std::string source = folder.File("alt.kat"), dest = folder.File("neu.kat");
  const std::string missing = folder.File("fehlt.kat");
  struct Press {
    C focus;
    Key key;
    C focus_after;
    std::string source_bytes;  // Written to the source first, unless empty.
    std::string source_box;
    std::optional<std::string> failure;  // After "Fehler beim konvertieren: "; "" for success.
    int records;  // The destination then holds the records of ValidCatalogue(records), if any.
  };
  const Press presses[] = {
      {C::kTxtSource, Key::kReturn, C::kTxtSource, ValidCatalogue(1), source, {}, 0},
      {C::kTxtSource, Key::kEnter, C::kTxtSource, "", source, {}, 0},
      {C::kTxtSource, Key::kEscape, C::kTxtSource, "", source, {}, 0},
      {C::kTxtDest, Key::kReturn, C::kTxtDest, "", source, {}, 0},
      {C::kTxtDest, Key::kEnter, C::kTxtDest, "", source, {}, 0},
      {C::kTxtDest, Key::kEscape, C::kTxtDest, "", source, {}, 0},
      {C::kCmdEnde, Key::kAltA, C::kTxtSource, "", source, {}, 0},
      {C::kCmdConvert, Key::kAltN, C::kTxtDest, "", source, {}, 0},
      {C::kTxtDest, Key::kAltK, C::kTxtDest, "", source, "", 1},
      {C::kTxtSource, Key::kClick, C::kCmdConvert, ValidCatalogue(5), source, "", 5},
      {C::kCmdConvert, Key::kReturn, C::kCmdConvert, ValidCatalogue(2), source, "", 2},
      // A failed run leaves the destination as it was.
      {C::kCmdConvert, Key::kEnter, C::kCmdConvert,
       ValidCatalogue(2) + CatalogLine("Kr\xE4mer", "", "1", "3\xE4.12.2020"), source,
       "[13] Typen unverträglich in Zeile 3, Spalten 56 bis 65: „3ä.12.2020“", 2},
      {C::kTxtDest, Key::kClick, C::kCmdConvert, "", missing,
       "[53] Datei nicht gefunden: alte Katalogdatei „" + missing + "“", 2},
      {C::kCmdConvert, Key::kClick, C::kCmdConvert, "", "",
       "[52] Dateiname oder -nummer falsch: alte Katalogdatei „“ ist nicht angegeben", 2},
      {C::kCmdConvert, Key::kReturn, C::kCmdConvert, ValidCatalogue(2) + "\r\n", source,
       "[13] Typen unverträglich in Zeile 3, Spalten 56 bis 65: „“ (die Zeile ist leer)", 2},
  };
  const auto window = OpenForm1();
  for (const Press& press : presses) {
    SCOPED_TRACE("row " + std::to_string(&press - presses));
    if (!press.source_bytes.empty()) WriteBytes(source, press.source_bytes);
    window->form().SetText(C::kTxtSource, press.source_box);
    window->form().SetText(C::kTxtDest, dest);
    window->Focus(press.focus);
    EXPECT_EQ(window->Press(press.key, press.failure.has_value()),
              press.failure ? std::vector{Notice(*press.failure)} : std::vector<std::string>{});
    EXPECT_EQ(std::filesystem::exists(dest) ? ReadBytes(dest) : "(none)",
              press.records > 0 ? ExpectedRecords(press.records) : "(none)");
    EXPECT_TRUE(window->Seen(press.focus_after).focused);
    EXPECT_EQ(window->Seen(C::kTxtSource).text, press.source_box) << "the boxes keep their text";
    EXPECT_FALSE(window->Busy());
    EXPECT_TRUE(window->IsOpen());
  }
  window->Focus(C::kTxtSource);
  window->Press(Key::kAltE, true);
  EXPECT_FALSE(window->IsOpen()) << "Alt+E closes the window";
}

// A run that lasts shows, after about a second, what runs, how far it is and "Abbrechen", the
// main window taking no input meanwhile; ending it there, by the button, by Escape or by
// closing the main window, ends it at once with the destination as it was and nothing beside
// it, and a closed window then ends the program. A short run shows no such window.
TEST(Form1, ALongRunShowsHowFarItIsAndEndsWhenTheUserSays) {
  TempFolder folder;
  const std::string huge = folder.File("gross.kat"), dest = folder.File("neu.kat");
  const std::string progress = std::string("progress|Velmora Tessaril 3.x --> 4.x|") +
                               "Der Katalog wird konvertiert. Abbrechen lässt die neue " +
                               "Katalogdatei, wie sie war.|Abbrechen focused|bar Fortschritt 0-100";
  const std::string source = folder.File("alt.kat");
  WriteBytes(source, ValidCatalogue(3));
  for (const EndRun end_run : {EndRun::kButton, EndRun::kEscape, EndRun::kCloseWindow}) {
    const auto window = OpenForm1();
    const bool closes = end_run == EndRun::kCloseWindow;
    WriteBytes(dest, "alt");
    // One line of zeros, sparse on the disk, which takes many seconds to read; once after a
    // bad line, which the run reads on past to count the further ones.
    WriteBytes(huge, end_run == EndRun::kEscape ? "x\r\n" : "");
    std::filesystem::resize_file(huge, std::uintmax_t{64} << 30);
    for (const std::string& path : {huge, source}) {
      window->form().SetText(C::kTxtSource, path);
      window->form().SetText(C::kTxtDest, dest);
      window->Focus(C::kCmdConvert);
      const auto started = std::chrono::steady_clock::now();
      const std::vector<std::string> seen = window->Press(Key::kClick, true, end_run);
      const auto took = std::chrono::steady_clock::now() - started;
      if (path == huge) {
        std::vector<std::string> expected{progress, Notice(std::nullopt)};
        if (closes) expected.pop_back();
        EXPECT_EQ(seen, expected);
        EXPECT_LT(took, std::chrono::seconds(5)) << "ended at once";
        EXPECT_EQ(ReadBytes(dest), "alt");
        EXPECT_EQ(FolderNames(folder.path()),
                  (std::vector<std::string>{"alt.kat", "gross.kat", "neu.kat"}));
        EXPECT_EQ(window->IsOpen(), !closes);
        if (closes) break;
        EXPECT_TRUE(window->Seen(C::kCmdConvert).focused) << "the focus back where it was";
      } else {
        EXPECT_EQ(seen, std::vector{Notice("")}) << "converts again, and shows no progress";
        EXPECT_TRUE(ReadBytes(dest) == ExpectedRecords(3));
        EXPECT_TRUE(window->Seen(C::kCmdConvert).focused);
      }
    }
  }
}

// One dropped file replaces a box's whole text and takes the focus; several are refused.
TEST(Form1, OneDroppedFileReplacesTheText) {
#ifdef _WIN32
  const std::string folder = "C:\\alte Kataloge\\";
#else
  const std::string folder = "/tmp/alte Kataloge/";
#endif
  const auto window = OpenForm1();
  for (const auto& [paths, text] :
       {std::pair{std::vector{folder + "jü.kat"}, folder + "jü.kat"},
        {std::vector{folder + "a.kat", folder + "b.kat"}, std::string("vorher.kat")}}) {
    for (const C box : {C::kTxtSource, C::kTxtDest}) {
      window->form().SetText(box, "vorher.kat");
      window->Focus(C::kCmdEnde);
      window->Drop(box, paths);
      EXPECT_EQ(window->Seen(box).text, text);
      EXPECT_EQ(window->Seen(box).focused, paths.size() == 1) << "only the box that took it";
    }
  }
}

}  // namespace
}  // namespace tessaril::testing
