// What the layer tells of an open track: the tags its open came across, its
// length, and a position that advances while it plays. The tagged MP3 is
// encoded by lame from a tunegen WAV.
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

#include "media_fixture.h"

namespace media_test {
namespace {

using platform::MciTrackInfo;

class TrackInfoTest : public MediaTest {
protected:
    // A 2 s MP3 with ID3 title, artist and album.
    std::string MakeTaggedMp3() {
        const QString lame = QStandardPaths::findExecutable(QStringLiteral("lame"));
        EXPECT_FALSE(lame.isEmpty()) << "lame is not installed (scripts/install-deps.sh)";
        const std::string wav = MakeTune(Format::Wav, 2.0, "source.wav");
        const std::string mp3 = Path("tagged.mp3");
        QProcess process;
        process.start(
            lame,
            {QStringLiteral("--quiet"), QStringLiteral("--tt"), QStringLiteral("A Title"),
             QStringLiteral("--ta"), QStringLiteral("An Artist"), QStringLiteral("--tl"),
             QStringLiteral("An Album"), QString::fromStdString(wav), QString::fromStdString(mp3)});
        EXPECT_TRUE(process.waitForFinished(60000));
        EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
        return mp3;
    }
};

TEST_F(TrackInfoTest, TaggedFileGivesItsTagsLengthAndAnAdvancingPosition) {
    const std::string mp3 = MakeTaggedMp3();
    auto layer = Layer(kRealTimeSink);
    MciTrackInfo info;
    EXPECT_FALSE(layer->GetTrackInfo("themidi", &info));
    ASSERT_EQ(layer->OpenElement(mp3, "themidi"), 0u);
    ASSERT_TRUE(layer->GetTrackInfo("THEMIDI", &info));
    EXPECT_EQ(info.path, mp3);
    EXPECT_EQ(info.title, "A Title");
    EXPECT_EQ(info.artist, "An Artist");
    EXPECT_EQ(info.album, "An Album");
    EXPECT_NEAR(static_cast<double>(info.lengthUs), 2.0e6, 0.1e6);
    EXPECT_EQ(info.positionUs, 0);

    ASSERT_EQ(layer->SendString("play themidi", nullptr), 0u);
    const auto position = [&] {
        layer->GetTrackInfo("themidi", &info);
        return info.positionUs;
    };
    std::int64_t first = -1;
    ASSERT_TRUE(PumpUntil([&] { return (first = position()) > 0; }, 10000));
    EXPECT_TRUE(PumpUntil([&] { return position() >= first + 200000; }, 10000))
        << "stuck at " << info.positionUs;
    EXPECT_LE(info.positionUs, info.lengthUs);

    EXPECT_EQ(layer->SendString("close themidi", nullptr), 0u);
    EXPECT_FALSE(layer->GetTrackInfo("themidi", &info));
}

TEST_F(TrackInfoTest, UntaggedFileGivesItsLengthAndNoTags) {
    auto layer = Layer(kFastSink);
    const std::string wav = MakeTune(Format::Wav, 1.5);
    ASSERT_EQ(layer->OpenElement(wav, "themidi"), 0u);
    MciTrackInfo info;
    ASSERT_TRUE(layer->GetTrackInfo("themidi", &info));
    EXPECT_EQ(info.title, "");
    EXPECT_EQ(info.artist, "");
    EXPECT_EQ(info.album, "");
    EXPECT_NEAR(static_cast<double>(info.lengthUs), 1.5e6, 0.05e6);
}

}  // namespace
}  // namespace media_test
