// The status page as a browser shows it: Chromium, headless, takes a screenshot of the page and
// dumps its text. Skipped where the browser is not installed.
#include <gtest/gtest.h>

#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <filesystem>

#include "collect/StationStatus.h"
#include "store/CollectionLog.h"

namespace qm::test {
namespace {

constexpr const char* kChromium = "/usr/bin/chromium";

// What Chromium prints of the page.
QByteArray Chromium(const QTemporaryDir& dir, const QStringList& what) {
    QProcess p;
    p.start(kChromium,
            QStringList{"--headless", "--no-sandbox", "--disable-gpu", "--hide-scrollbars",
                        "--user-data-dir=" + dir.filePath("profile")} +
                what + QStringList{"file://" + dir.filePath("status.html")});
    EXPECT_TRUE(p.waitForFinished(120'000)) << "the browser did not end";
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    return p.readAllStandardOutput();
}

// The rows of the image that hold at least `least` pixels of the colour.
std::vector<int> RowsOf(const QImage& image, QRgb colour, int least) {
    std::vector<int> rows;
    for (int y = 0; y < image.height(); ++y) {
        int n = 0;
        for (int x = 0; x < image.width(); ++x) n += (image.pixel(x, y) & 0xFFFFFF) == colour;
        if (n >= least) rows.push_back(y);
    }
    return rows;
}

TEST(StatusPage, AChromiumScreenshotShowsTheTableInItsColoursAndTheFailingStationsText) {
    if (!std::filesystem::exists(kChromium))
        GTEST_SKIP() << kChromium << " is not installed: no browser to try";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    CollectionStatus status;
    status.time = *ParseUtcText("2026-12-11T02:35:00Z");
    StationStatus green;
    green.name = "Котельная-1";
    green.link = "usb";
    green.lastAttempt = StatusAttempt{*ParseUtcText("2026-12-11T02:30:00Z"), true, true, {}, {}};
    StationStatus amber;
    amber.name = "<b>Молчун</b>";
    amber.link = "radio";
    amber.addressNumber = 12;
    amber.lastAttempt = StatusAttempt{
        *ParseUtcText("2026-12-11T02:31:00Z"), true, false, {"The logger does not answer"}, {}};
    status.stations = {green, amber};
    ASSERT_FALSE(WriteStatusFiles(std::filesystem::path(dir.path().toStdString()), status,
                                  Language::English));

    const QString shot = dir.filePath("shot.png");
    Chromium(dir, {"--screenshot=" + shot, "--window-size=1200,600"});
    const QImage image(shot);
    ASSERT_FALSE(image.isNull()) << "no screenshot";
    // The header row, then the green station's row above the amber one's.
    const auto header = RowsOf(image, 0xDDDDDD, 200);
    const auto greenRows = RowsOf(image, 0xC8F0C8, 200);
    const auto amberRows = RowsOf(image, 0xFFE08A, 200);
    ASSERT_FALSE(header.empty());
    ASSERT_FALSE(greenRows.empty());
    ASSERT_FALSE(amberRows.empty());
    EXPECT_LT(header.back(), greenRows.front());
    EXPECT_LT(greenRows.back(), amberRows.front());

    // On a phone's width the stations are blocks, still in their colours.
    const QString phone = dir.filePath("phone.png");
    Chromium(dir, {"--screenshot=" + phone, "--window-size=390,844"});
    const QImage narrow(phone);
    ASSERT_FALSE(narrow.isNull());
    EXPECT_FALSE(RowsOf(narrow, 0xC8F0C8, 150).empty());
    EXPECT_FALSE(RowsOf(narrow, 0xFFE08A, 150).empty());
    EXPECT_TRUE(RowsOf(narrow, 0xDDDDDD, 150).empty()) << "no header row on a phone";

    const QString dom = QString::fromUtf8(Chromium(dir, {"--dump-dom"}));
    EXPECT_TRUE(dom.contains("The logger does not answer")) << dom.toStdString();
    EXPECT_TRUE(dom.contains("&lt;b&gt;Молчун&lt;/b&gt;")) << "the name as written";
}

}  // namespace
}  // namespace qm::test
